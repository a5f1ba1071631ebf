#include "tool/help.h"

#include <algorithm>
#include <array>

#include "console/print_line.h"

namespace {

constexpr std::string_view BANNER_LEAD = "Mapcue v";
constexpr std::string_view CREDIT = "Created by: Orla Featherston";

static_assert(VERSION_TEXT.size() <= BANNER_PAD_BASE, "version text overruns the banner gap");
constexpr std::size_t BANNER_PAD = BANNER_PAD_BASE - VERSION_TEXT.size();

// Composed at compile time so the banner costs one write like any other line.
constexpr auto BANNER = [] {
  std::array<char, BANNER_LEAD.size() + VERSION_TEXT.size() + BANNER_PAD + CREDIT.size()> line{};
  auto out = std::copy(BANNER_LEAD.begin(), BANNER_LEAD.end(), line.begin());
  out = std::copy(VERSION_TEXT.begin(), VERSION_TEXT.end(), out);
  out = std::fill_n(out, BANNER_PAD, ' ');
  std::copy(CREDIT.begin(), CREDIT.end(), out);
  return line;
}();

constexpr std::string_view HELP_LINES[] = {
    "",
    {BANNER.data(), BANNER.size()},
    "",
    "Mapcue takes a mapped drive letter and returns the UNC path if connected.",
    "",
    "Usage:",
    "",
    "MAPCUE Drive_Letter[:]",
    "",
    "Returns the UNC path of the drive letter provided. If the drive specified",
    "is not CONNECTED to a UNC path, then ERROR_NOT_CONNECTED is returned.",
    "",
    "Notes:",
    "Not case sensitive.",
    "An unavailable persistent connection will also return ERROR_NOT_CONNECTED.",
    "A colon is optional after the drive letter.",
    "",
    "Returns error code 0 if successful in retrieving the UNC path.",
    "Returns error code 1 if unsuccessful in retrieving the UNC path.",
    "Returns error code 9 for all other errors (including showing this help).",
    "",
    "Send comments to Orla Featherston at orla.featherston@mapcue.example.",
};

}  // namespace

void print_help() {
  for (const std::string_view line : HELP_LINES) print_line(line);
}
