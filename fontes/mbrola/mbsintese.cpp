// TD-PSOLA over diphones. Each phoneme is two halves: the end of the diphone
// (previous, phoneme) and the start of (phoneme, next). Each half's source
// stretch is mapped linearly onto its target span; then, walking the output,
// voiced stretches get a Hann-windowed two-period grain centred on the pitch
// mark nearest the mapped source point, placed one target period after the
// last, and unvoiced stretches get fixed frames of plain overlap-add. Grains
// taper to zero on both sides, so joins are cross-fades and never clicks.
#include "mbsintese.h"

#include <algorithm>
#include <cmath>

namespace {

struct Segment {
  int diphone;
  int64_t srcStart, srcEnd;  // within the unit
  int64_t tgtStart, tgtEnd;  // in the output
  bool joined;               // its source does not continue the previous segment's
};

struct Target {
  double time;
  double hertz;
};

// Hann half-windows by half-width: w[j] = 0.5 + 0.5 cos(pi j / h), j = 0..h.
std::vector<std::vector<float>> hannCache;

const float *hannHalf(int h) {
  if (size_t(h) >= hannCache.size()) hannCache.resize(h + 1);
  std::vector<float> &w = hannCache[h];
  if (w.empty()) {
    w.resize(h + 1);
    for (int j = 0; j <= h; ++j) w[j] = float(0.5 + 0.5 * std::cos(M_PI * j / h));
  }
  return w.data();
}

// Adds source[centre - left .. centre + right] (unit-relative), windowed, at
// out[at - left .. at + right].
void addGrain(const int16_t *unit, int64_t centre, int left, int right, int64_t at, float gain,
              std::vector<float> &out) {
  int64_t total = int64_t(out.size());
  if (left > 0) {
    const float *w = hannHalf(left);
    for (int j = 1; j <= left; ++j) {
      int64_t o = at - j;
      if (o >= 0 && o < total) out[o] += gain * w[j] * unit[centre - j];
    }
  }
  if (at >= 0 && at < total) out[at] += gain * unit[centre];
  if (right > 0) {
    const float *w = hannHalf(right);
    for (int j = 1; j <= right; ++j) {
      int64_t o = at + j;
      if (o >= 0 && o < total) out[o] += gain * w[j] * unit[centre + j];
    }
  }
}

double pitchAt(const std::vector<Target> &targets, double t, double fallback) {
  if (targets.empty()) return fallback;
  if (t <= targets.front().time) return targets.front().hertz;
  if (t >= targets.back().time) return targets.back().hertz;
  auto it = std::upper_bound(targets.begin(), targets.end(), t,
                             [](double v, const Target &target) { return v < target.time; });
  const Target &b = *it, &a = *(it - 1);
  if (b.time - a.time <= 0) return b.hertz;
  return a.hertz + (b.hertz - a.hertz) * (t - a.time) / (b.time - a.time);
}

}  // namespace

void mbRender(const MbVoz &voz, const std::vector<MbFone> &fones, std::vector<float> &out,
              std::vector<MbSpan> &spans) {
  const double rate = voz.sampleRate;
  const size_t count = fones.size();
  const size_t phonemeCount = voz.phonemes.size();
  spans.assign(count, MbSpan{0, 0, 0});

  // Boundaries from the running sum, so rounding never drifts.
  std::vector<int64_t> bound(count + 1, 0);
  double sumMs = 0;
  for (size_t i = 0; i < count; ++i) {
    sumMs += fones[i].ms;
    bound[i + 1] = std::llround(sumMs * rate / 1000.0);
  }
  const int64_t total = bound[count];
  out.assign(size_t(total), 0.0f);

  std::vector<Target> targets;
  for (size_t i = 0; i < count; ++i)
    for (const MbPitchPoint &p : fones[i].pitch)
      targets.push_back({bound[i] + p.position / 100.0 * double(bound[i + 1] - bound[i]), p.hertz});
  std::stable_sort(targets.begin(), targets.end(), [](const Target &a, const Target &b) { return a.time < b.time; });

  std::vector<Segment> segments;
  for (size_t i = 0; i < count; ++i) {
    int phoneme = fones[i].phoneme;
    int left = i > 0 ? fones[i - 1].phoneme : voz.silence;
    int right = i + 1 < count ? fones[i + 1].phoneme : voz.silence;
    int a = int(size_t(left) * phonemeCount + phoneme), b = int(size_t(phoneme) * phonemeCount + right);
    const MbDifone &da = voz.diphones[a], &db = voz.diphones[b];
    int64_t la = da.length - da.boundary, lb = db.boundary;
    int64_t span = bound[i + 1] - bound[i];
    // The halves keep the proportions they have in the recordings.
    int64_t firstHalf = la + lb > 0 ? std::llround(double(span) * double(la) / double(la + lb)) : span / 2;
    int64_t join = bound[i] + firstHalf;
    spans[i] = MbSpan{bound[i], span, join};
    if (join > bound[i]) segments.push_back({a, int64_t(da.boundary), int64_t(da.length), bound[i], join, false});
    if (bound[i + 1] > join) segments.push_back({b, 0, lb, join, bound[i + 1], false});
  }
  for (size_t i = 1; i < segments.size(); ++i)
    segments[i].joined = segments[i].diphone != segments[i - 1].diphone || segments[i].srcStart != segments[i - 1].srcEnd;

  const int hop = std::max(1, int(std::lround(rate * 0.005)));  // unvoiced frames: 5 ms hop, 10 ms window
  const int maxPeriod = int(rate / 40);
  const double nominal = voz.nominalPitch;
  const int nominalPeriod = int(std::lround(rate / nominal));
  const double blendReach = rate * 0.015;  // each side of a join between two units

  // The voiced grain for source point s of a segment: the nearest voiced
  // mark, preferring those whose whole grain lies inside the unit.
  struct Grain {
    const int16_t *unit;
    int64_t centre;
    int left, right;
  };
  auto voicedGrain = [&](const Segment &seg, double s, Grain &grain) {
    const MbDifone &d = voz.diphones[seg.diphone];
    const uint32_t *marks = voz.marks.data() + d.firstMark;
    const int markCount = int(d.markCount);
    const int64_t length = d.length;
    auto offset = [&](int k) { return int64_t(marks[k] & ~MB_MARK_VOICED); };
    auto voiced = [&](int k) { return (marks[k] & MB_MARK_VOICED) != 0; };
    auto periods = [&](int k, int &left, int &right) {
      left = k > 0 && voiced(k - 1) ? int(offset(k) - offset(k - 1)) : 0;
      right = k + 1 < markCount && voiced(k + 1) ? int(offset(k + 1) - offset(k)) : 0;
      if (left <= 0 || left > maxPeriod) left = right > 0 && right <= maxPeriod ? right : nominalPeriod;
      if (right <= 0 || right > maxPeriod) right = left;
    };
    if (markCount == 0) return false;
    int k = int(std::lower_bound(marks, marks + markCount, s,
                                 [](uint32_t m, double v) { return double(m & ~MB_MARK_VOICED) < v; }) -
                marks);
    int best = -1;
    bool bestWhole = false;
    double bestDistance = 0;
    for (int c = std::max(0, k - 2); c <= std::min(markCount - 1, k + 1); ++c) {
      if (!voiced(c)) continue;
      int left, right;
      periods(c, left, right);
      double distance = std::fabs(double(offset(c)) - s);
      if (distance > std::max(left, right)) continue;
      bool whole = offset(c) - left >= 0 && offset(c) + right < length;
      if (best < 0 || (whole && !bestWhole) || (whole == bestWhole && distance < bestDistance))
        best = c, bestWhole = whole, bestDistance = distance;
    }
    if (best < 0) return false;
    int64_t m = offset(best);
    int left, right;
    periods(best, left, right);
    grain = Grain{voz.samples.data() + d.first, m, int(std::min<int64_t>(left, m)),
                  int(std::min<int64_t>(right, length - 1 - m))};
    return true;
  };
  auto sourcePoint = [](const Segment &seg, int64_t at) {
    double s = seg.srcStart + (double(at - seg.tgtStart) + 0.5) * double(seg.srcEnd - seg.srcStart) /
                                  double(seg.tgtEnd - seg.tgtStart);
    return std::clamp(s, double(seg.srcStart), double(std::max(seg.srcStart, seg.srcEnd - 1)));
  };

  size_t current = 0;
  double t = 0;
  while (t < double(total) && current < segments.size()) {
    int64_t at = std::llround(t);
    while (current < segments.size() && at >= segments[current].tgtEnd) ++current;
    if (current >= segments.size()) break;
    const Segment &seg = segments[current];
    const MbDifone &d = voz.diphones[seg.diphone];
    const int64_t length = d.length;
    if (seg.srcEnd <= seg.srcStart) {  // nothing recorded for this half: silence
      t += hop;
      continue;
    }
    double s = sourcePoint(seg, at);
    Grain grain;
    if (voicedGrain(seg, s, grain)) {
      // Near a join between two units, the grain is blended with the other
      // unit's grain, both aligned on their pitch marks: the waveform turns
      // from one recording into the other over a few periods.
      const Segment *other = nullptr;
      double distance = 0;
      if (current + 1 < segments.size() && segments[current + 1].joined)
        other = &segments[current + 1], distance = double(seg.tgtEnd - at);
      if (current > 0 && seg.joined && (!other || double(at - seg.tgtStart) < distance))
        other = &segments[current - 1], distance = double(at - seg.tgtStart);
      Grain otherGrain;
      double weight = other ? 0.5 * (1 - distance / blendReach) : 0;
      if (weight > 0 && other->srcEnd > other->srcStart && voicedGrain(*other, sourcePoint(*other, at), otherGrain)) {
        addGrain(grain.unit, grain.centre, grain.left, grain.right, at, float(1 - weight), out);
        addGrain(otherGrain.unit, otherGrain.centre, otherGrain.left, otherGrain.right, at, float(weight), out);
      } else {
        addGrain(grain.unit, grain.centre, grain.left, grain.right, at, 1.0f, out);
      }
      double period = rate / pitchAt(targets, t, nominal);
      period = rate / pitchAt(targets, t + period / 2, nominal);
      t += period;
    } else {
      const int16_t *unit = voz.samples.data() + d.first;
      int64_t centre = std::llround(s);
      if (length > 2 * int64_t(hop)) centre = std::clamp<int64_t>(centre, hop, length - 1 - hop);
      centre = std::clamp<int64_t>(centre, 0, length - 1);
      int left = int(std::min<int64_t>(hop, centre)), right = int(std::min<int64_t>(hop, length - 1 - centre));
      addGrain(unit, centre, left, right, at, 1.0f, out);
      t += hop;
    }
  }
}

void mbResample(const std::vector<float> &in, int rateIn, int rateOut, std::vector<float> &out) {
  if (rateIn == rateOut || in.empty()) {
    out = in;
    return;
  }
  const double ratio = double(rateOut) / double(rateIn);
  const double cutoff = std::min(1.0, ratio) * 0.95;
  const int zeros = 16;
  const double reach = zeros / cutoff;  // input samples each side
  size_t length = size_t(std::llround(double(in.size()) * ratio));
  out.assign(length, 0.0f);
  const int64_t last = int64_t(in.size()) - 1;
  for (size_t n = 0; n < length; ++n) {
    double x = double(n) / ratio;
    int64_t from = std::max<int64_t>(0, int64_t(std::ceil(x - reach)));
    int64_t to = std::min<int64_t>(last, int64_t(std::floor(x + reach)));
    double sum = 0;
    for (int64_t k = from; k <= to; ++k) {
      double d = x - double(k);
      double arg = M_PI * cutoff * d;
      double sinc = std::fabs(arg) < 1e-9 ? 1.0 : std::sin(arg) / arg;
      double window = 0.5 + 0.5 * std::cos(M_PI * d / reach);
      sum += in[size_t(k)] * cutoff * sinc * window;
    }
    out[n] = float(sum);
  }
}
