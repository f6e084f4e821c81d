// The command line's JSON writer: the one the engine uses for the recovery report.
#pragma once

#include "core/json_writer.h"

namespace cli {

using JsonWriter = core::JsonWriter;

} // namespace cli
