// `selvo config` on an extras document (a file whose name ends in .json):
// created with nothing chosen, shown in words, edited option by option.
#pragma once

#include <string>

#include "extras/extras.h"

namespace selvo {

// Whether `config` takes FILE for an extras document: its name ends in
// ".json", in any case.
bool IsExtrasDocument(const std::string& path);

// The document in words, as `config show` prints the settings.
std::string FormatExtrasText(const Extras& extras);

// Applies one `config set` option to the extras; "" or one line naming the
// option and what it expects. The options:
//   --matching rgb|oklab            --transparency on|off
//   --alpha-threshold 0..1          --transparent-index INDEX|from
//   --transparent-ids ID,...|none   --outline ID=INDEX|ID=none
//   --neighbours 4|8                --background-only on|off
//   --ordered-dither ID=none|bayer4|bayer8
std::string ApplyExtrasSetting(Extras& extras, const std::string& option, const std::string& value);

}  // namespace selvo
