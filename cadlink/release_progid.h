#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace morvane {

// A release number of the CAD application as its ProgID gives it, e.g. {24, 1} for
// "AutoCAD.Application.24.1". Compared part by part as numbers: {25} is newer than {24, 3}, and
// {24, 1} newer than {24}.
using CadRelease = std::vector<unsigned>;

// The release named by a ProgID of the form "AutoCAD.Application.<release>" (the prefix in any
// case; the release one or more numbers separated by dots); none for any other ProgID, the
// version-independent "AutoCAD.Application" included. Throws only std::bad_alloc.
[[nodiscard]] std::optional<CadRelease> ReleaseOfProgId(std::u16string_view progId);

}  // namespace morvane
