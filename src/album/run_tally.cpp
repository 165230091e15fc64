// Counters of the run, the progress line and the summary.
#include "album/run_tally.h"

#include <chrono>
#include <algorithm>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "base/user_output.h"
#include "util/utf8.h"

namespace {

using Clock = std::chrono::steady_clock;

// Redrawn at most this often.
constexpr auto kRedraw = std::chrono::milliseconds(250);

struct Tally {
  bool on = false;
  Clock::time_point start, drawn;
  long expected = 0, made = 0, upToDate = 0, albums = 0;
  std::map<std::string, long> leftOut;
  // Per option, the extensions (as written) it would take, in first-seen order.
  std::map<std::string, std::vector<std::pair<std::string, long>>> notTaken;
};

Tally gTally;

std::string clockText(double seconds) {
  const long s = static_cast<long>(seconds + 0.5);
  char text[32];
  if (s >= 3600)
    snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  else
    snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  return text;
}

// text within columns (none: 0), a character to a column, never cut inside
// one: a line longer than the terminal is wrapped, and its carriage return
// then goes back to the last row only, leaving the rest on the screen.
std::string fitColumns(const std::string& text, int columns) {
  if (columns <= 0) return text;
  const bool utf8 = utf8HasMultibyte(text.c_str());
  const char* p = text.c_str();
  for (int used = 0; *p && used < columns; ++used) {
    if (utf8)
      utf8Next(&p);
    else
      ++p;
  }
  return text.substr(0, static_cast<size_t>(p - text.c_str()));
}

void drawProgress(bool now) {
  const Clock::time_point t = Clock::now();
  if (!now && t - gTally.drawn < kRedraw) return;
  gTally.drawn = t;
  // Pictures found up to date or left out were never to make; a count short
  // of what is made grows with it.
  const long total = std::max(gTally.expected, gTally.made);
  const double elapsed = std::chrono::duration<double>(t - gTally.start).count();
  std::string line = "quorvel: " + std::to_string(gTally.made) + " of " + std::to_string(total) + " pictures made";
  if (total > 0) {
    line += ", " + std::to_string(gTally.made * 100 / total) + "%";
    line += ", " + clockText(elapsed);
    if (gTally.made > 0 && gTally.made < total)
      line += ", about " + clockText(elapsed / static_cast<double>(gTally.made) * static_cast<double>(total - gTally.made)) + " left";
  }
  userProgressShow(fitColumns(line, userProgressColumns()));
}

std::string plural(long n, const char* word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

}  // namespace

void tallyStart() {
  gTally.on = true;
  gTally.start = Clock::now();
  gTally.drawn = gTally.start - kRedraw;  // the first picture made draws the line
}

bool tallyOn() { return gTally.on; }

void tallyExpect(long count) { gTally.expected = count; }

void tallyShown(bool made) {
  if (!gTally.on) return;
  if (!made) {
    ++gTally.upToDate;
    return;
  }
  // A picture expected but up to date after all (another of its name made
  // it first) leaves the count of those to make high; never below what is made.
  ++gTally.made;
  drawProgress(false);
}

void tallyLeftOut(const char* reason) {
  if (gTally.on) ++gTally.leftOut[reason];
}

void tallyAlbum() {
  if (gTally.on) ++gTally.albums;
}

void tallyNotTaken(const char* option, const char* name) {
  if (!gTally.on) return;
  const char* dot = strrchr(name, '.');
  if (!dot) return;
  auto& kinds = gTally.notTaken[option];
  for (auto& kind : kinds)
    if (kind.first == dot) {
      ++kind.second;
      return;
    }
  kinds.emplace_back(dot, 1);
}

std::string tallySummary(const std::string& opens) {
  std::string text = "quorvel: " + plural(gTally.albums, "album") + " written, " +
                     plural(gTally.made + gTally.upToDate, "picture") + " shown (" + std::to_string(gTally.made) +
                     " made, " + std::to_string(gTally.upToDate) + " already up to date)\n";
  long left = 0;
  std::string reasons;
  for (const auto& [reason, count] : gTally.leftOut) {
    left += count;
    reasons += (reasons.empty() ? "" : ", ") + std::to_string(count) + " " + reason;
  }
  if (left > 0) text += "quorvel: " + plural(left, "picture") + " left out: " + reasons + "\n";
  std::string notTaken;
  for (const char* option : {"-allpics", "-video", "-mp3"}) {
    const auto found = gTally.notTaken.find(option);
    if (found == gTally.notTaken.end()) continue;
    std::string kinds;
    for (const auto& [extension, count] : found->second)
      kinds += (kinds.empty() ? "" : ", ") + std::to_string(count) + " " + extension;
    notTaken += (notTaken.empty() ? "" : "; ") + kinds + " (use " + option + ")";
  }
  if (!notTaken.empty()) text += "quorvel: not taken: " + notTaken + "\n";
  if (!opens.empty()) text += "quorvel: open " + opens + "\n";
  return text;
}
