// What a picture says of itself, as page text.
#include "album/photo_facts.h"

#include <strings.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/limits.h"
#include "util/text_encode.h"
#include "util/utf8.h"

namespace {

// Descriptions cameras and programs write on their own: not captions. Compared
// without regard to case, after trimming spaces.
constexpr const char* kBoilerplate[] = {
    "OLYMPUS DIGITAL CAMERA", "SONY DSC", "DIGITAL CAMERA", "KONICA MINOLTA DIGITAL CAMERA",
    "MINOLTA DIGITAL CAMERA", "PENTAX DIGITAL CAMERA", "SAMSUNG DIGITAL CAMERA", "KODAK Digital Still Camera",
    "DCIM", "Default", "Image", "Picture", "Photo", "Untitled", "Created with GIMP", "LEAD Technologies Inc. V1.01",
    "SONY DIGITAL STILL CAMERA", "Exif_JPEG_PICTURE", "Camera", "DSC", "CAMERA"};

// The separator between the line's parts, a middle dot as a character
// reference: the pages are ISO-8859-1, and a reference passes the page
// writer as it is.
constexpr char kBetween[] = " &#183; ";

std::string trimmed(const std::string& text) {
  const char* spaces = " \t\r\n";
  const size_t from = text.find_first_not_of(spaces);
  if (from == std::string::npos) return "";
  return text.substr(from, text.find_last_not_of(spaces) - from + 1);
}

std::string latin1ToUtf8(const std::string& text) {
  std::string out;
  for (unsigned char c : text) utf8Append(&out, c);
  return out;
}

// The length of the character reference ("&quot;", "&#233;", "&#xE9;") that
// starts at text[at], or 0 when none does there.
size_t referenceLength(const std::string& text, size_t at) {
  constexpr size_t kLongest = 32;  // "&#x0000000000E9;" and the like still count
  if (at >= text.size() || text[at] != '&') return 0;
  size_t end = at + 1;
  const bool numeric = end < text.size() && text[end] == '#';
  if (numeric) ++end;
  const bool hex = numeric && end < text.size() && (text[end] == 'x' || text[end] == 'X');
  if (hex) ++end;
  const size_t first = end;
  while (end < text.size() && end - at < kLongest &&
         (hex       ? isxdigit(static_cast<unsigned char>(text[end])) != 0
          : numeric ? isdigit(static_cast<unsigned char>(text[end])) != 0
                    : isalnum(static_cast<unsigned char>(text[end])) != 0))
    ++end;
  if (end == first || end >= text.size() || text[end] != ';') return 0;
  if (!numeric && !isalpha(static_cast<unsigned char>(text[first]))) return 0;
  return end + 1 - at;
}

// Source text (UTF-8 by now) cut to fit a caption buffer of size bytes,
// never inside a character. Unlike a caption file's text, a cut sequence is
// dropped even when the text is no UTF-8 otherwise. Nor inside a character
// reference the source holds as text: "&quo" would read as a broken
// "&quot;", so the whole reference goes.
std::string fitted(std::string text, int size) {
  if (text.size() < size_t(size)) return text;
  size_t keep = utf8WholeLength(text.data(), size_t(size) - 1);
  const size_t amp = text.rfind('&', keep - 1);
  if (keep > 0 && amp != std::string::npos && amp + referenceLength(text, amp) > keep) keep = amp;
  text.resize(keep);
  return text;
}

int daysIn(int year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// "YYYY:MM:DD HH:MM..." as "DD.MM.YYYY HH:MM"; "" when it is not a date
// that can be, such as a clock's "9999:99:99 99:99".
std::string dateText(const std::string& stamp) {
  if (stamp.size() < 16) return "";
  for (size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u, 11u, 12u, 14u, 15u})
    if (stamp[i] < '0' || stamp[i] > '9') return "";
  if (stamp[4] != ':' || stamp[7] != ':' || stamp[13] != ':') return "";
  if (stamp.compare(0, 4, "0000") == 0) return "";  // a camera's unset clock
  const auto field = [&](size_t at) { return (stamp[at] - '0') * 10 + (stamp[at + 1] - '0'); };
  const int year = field(0) * 100 + field(2), month = field(5), day = field(8);
  if (month < 1 || month > 12 || day < 1 || day > daysIn(year, month) || field(11) > 23 || field(14) > 59)
    return "";
  return stamp.substr(8, 2) + "." + stamp.substr(5, 2) + "." + stamp.substr(0, 4) + " " + stamp.substr(11, 5);
}

bool startsWithNoCase(const std::string& text, const std::string& prefix) {
  return !prefix.empty() && text.size() >= prefix.size() && strncasecmp(text.c_str(), prefix.c_str(), prefix.size()) == 0;
}

// Make and Model, the make left out when the model already names it ("Canon"
// and "Canon EOS 5D", or "NIKON CORPORATION" and "NIKON D750").
std::string cameraText(const ImgExifFacts& exif) {
  const std::string make = trimmed(exif.make), model = trimmed(exif.model);
  if (model.empty()) return make;
  const std::string firstWord = make.substr(0, make.find(' '));
  if (make.empty() || startsWithNoCase(model, make) || startsWithNoCase(model, firstWord)) return model;
  return make + " " + model;
}

// A number with at most one decimal, the decimal left out when it is 0.
std::string decimal(double value) {
  char text[32];
  snprintf(text, sizeof text, "%.1f", value);
  std::string s = text;
  if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0) s.resize(s.size() - 2);
  return s;
}

std::string exposureText(const ImgExifFacts& exif) {
  std::vector<std::string> parts;
  const ImgRational t = exif.exposure;
  if (t.den && t.num) {
    const double seconds = double(t.num) / t.den;
    parts.push_back(seconds < 1 ? "1/" + decimal(1 / seconds) + " s" : decimal(seconds) + " s");
  }
  if (exif.fNumber.den && exif.fNumber.num) parts.push_back("f/" + decimal(double(exif.fNumber.num) / exif.fNumber.den));
  if (exif.iso) parts.push_back("ISO " + std::to_string(exif.iso));
  if (exif.focalLength.den && exif.focalLength.num)
    parts.push_back(decimal(double(exif.focalLength.num) / exif.focalLength.den) + " mm");
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + part;
  return text;
}

// The caption sources in their order: XMP, IPTC, Exif. The first that holds
// a title or a description that is not boilerplate gives both.
void chooseCaption(const ImgPhotoMeta& meta, std::string* title, std::string* description) {
  const std::string iptcTitle = meta.iptcUtf8 ? meta.iptcTitle : latin1ToUtf8(meta.iptcTitle);
  const std::string iptcCaption = meta.iptcUtf8 ? meta.iptcCaption : latin1ToUtf8(meta.iptcCaption);
  const std::pair<std::string, std::string> sources[] = {{meta.xmpTitle, meta.xmpDescription},
                                                         {iptcTitle, iptcCaption},
                                                         {"", meta.exif.description}};
  for (const auto& [t, d] : sources) {
    std::string a = photoIsBoilerplate(t) ? "" : trimmed(t);
    std::string b = photoIsBoilerplate(d) ? "" : trimmed(d);
    if (a.empty() && b.empty()) continue;
    *title = std::move(a);
    *description = std::move(b);
    return;
  }
}

}  // namespace

bool photoIsBoilerplate(const std::string& text) {
  const std::string t = trimmed(text);
  if (t.empty()) return true;
  for (const char* stock : kBoilerplate)
    if (strcasecmp(t.c_str(), stock) == 0) return true;
  return false;
}

PhotoFacts photoFacts(const ImgPhotoMeta& meta) {
  PhotoFacts facts;
  for (const std::string& part : {dateText(meta.exif.dateTaken), cameraText(meta.exif), trimmed(meta.exif.lens),
                                  exposureText(meta.exif)}) {
    if (part.empty()) continue;
    if (!facts.line.empty()) facts.line += kBetween;
    facts.line += textEscaped(part);
  }
  std::string title, description;
  chooseCaption(meta, &title, &description);
  std::string whole = title;
  if (!title.empty() && !description.empty()) whole += " - ";
  whole += description;
  if (!title.empty()) facts.title = textEscaped(fitted(title, kCaptionTitleSize));
  if (!whole.empty()) facts.text = textEscaped(fitted(whole, kCaptionTextSize));
  return facts;
}
