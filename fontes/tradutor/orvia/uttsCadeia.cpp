#include "uttsCadeia.h"

#include "klregras.h"
#include "uttsPortug.h"
#include "uttsPreproc.h"
#include "uttsProsodia.h"

bool LoadOrviaData(const std::string &folder, const std::string &base, std::string &error) {
  std::string stem = folder;
  if (!stem.empty() && stem.back() != '/') stem += '/';
  stem += base;
  ClearOrviaExceptions();
  if (!LoadOrviaRules(stem + ".nrl") || !LoadOrviaExceptions(stem + ".exc")) {
    error = "Erro na base de dados de portugu\xeas";
    return false;
  }
  if (!LoadAbbreviations(stem + ".abr")) {
    error = "Erro no arquivo de abreviaturas";
    return false;
  }
  ReleaseDiphones();
  if (!LoadProsody(stem + ".pro") || !LoadDiphones(stem + ".dfn")) {
    error = "Erro no arquivo de pros\xf3" "dia";
    return false;
  }
  return true;
}

OrviaStages RunOrviaStages(std::string_view text, double durationFactor, double pitchFactor) {
  OrviaStages stages;
  if (text.find_first_not_of(' ') == std::string_view::npos) return stages;
  stages.expanded = ExpandText(text);
  stages.tokens = MakeTokenList(stages.expanded);
  stages.annotated = AssignProsodyValues(stages.tokens);
  stages.phonemes = TranscribeTokens(stages.annotated);
  stages.lines = TimeAndPitch(stages.phonemes, durationFactor, pitchFactor);
  return stages;
}
