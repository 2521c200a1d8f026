#pragma once
// The strict JSON reader the tests check output with: anything that is not valid JSON
// throws, so a test that parses a line also proves the line is JSON.
#include "helpers/Json.h"

namespace qtest {
using HELPERS::JsonReader;
using HELPERS::JsonValue;
} // namespace qtest
