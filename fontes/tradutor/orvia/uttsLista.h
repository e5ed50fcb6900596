// The string lists that carry an utterance from one Orvia stage to the next.
#pragma once

#include <string>
#include <vector>

using StringList = std::vector<std::string>;
