#include "go/SgfText.h"

#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <memory>
#include <vector>

#include "go/SgfError.h"

namespace go {

namespace {

struct TConverterCloser {
  void operator()(UConverter *c) const { ucnv_close(c); }
};
using TConverter = std::unique_ptr<UConverter, TConverterCloser>;

TConverter OpenStrict(const std::string &charset) {
  UErrorCode status = U_ZERO_ERROR;
  TConverter c(ucnv_open(charset.c_str(), &status));
  if (U_FAILURE(status) || !c) return nullptr;
  status = U_ZERO_ERROR;
  ucnv_setToUCallBack(c.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  ucnv_setFromUCallBack(c.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  return U_FAILURE(status) ? nullptr : std::move(c);
}

bool ToUnits(std::string_view bytes, const std::string &charset, std::u16string &units) {
  TConverter c = OpenStrict(charset);
  if (!c) return false;
  // A character set gives at most one UTF-16 unit per byte nearly always; the rare one that
  // gives more is measured and converted again.
  units.assign(bytes.size() + 16, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t n = ucnv_toUChars(c.get(), reinterpret_cast<UChar *>(units.data()), static_cast<int32_t>(units.size()),
                            bytes.data(), static_cast<int32_t>(bytes.size()), &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    ucnv_reset(c.get());
    units.assign(static_cast<size_t>(n) + 1, u'\0');
    status = U_ZERO_ERROR;
    n = ucnv_toUChars(c.get(), reinterpret_cast<UChar *>(units.data()), static_cast<int32_t>(units.size()),
                      bytes.data(), static_cast<int32_t>(bytes.size()), &status);
  }
  if (U_FAILURE(status)) return false;
  units.resize(static_cast<size_t>(n));
  return true;
}

std::string UnitsToUtf8(const std::u16string &units) {
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = 0;
  u_strToUTF8(nullptr, 0, &length, reinterpret_cast<const UChar *>(units.data()),
              static_cast<int32_t>(units.size()), &status);
  std::string out(static_cast<size_t>(length), '\0');
  status = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data(), length, &length, reinterpret_cast<const UChar *>(units.data()),
                     static_cast<int32_t>(units.size()), 0xFFFD, nullptr, &status);
  return out;
}

std::string NormaliseLineEnds(const std::string &text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += c;
    }
  }
  return out;
}

// How much a decoded text reads like Japanese (or at least like text).
long Plausibility(const std::u16string &units) {
  long score = 0;
  for (char16_t u : units) {
    if (u >= 0x3040 && u <= 0x30FF) score += 3;        // hiragana, katakana
    else if (u >= 0x4E00 && u <= 0x9FFF) score += 1;   // kanji
    else if (u >= 0xFF01 && u <= 0xFF5E) score += 1;   // full-width letters and digits
    else if (u >= 0xAC00 && u <= 0xD7AF) score += 1;   // hangul
    else if (u >= 0xFF61 && u <= 0xFF9F) score -= 3;   // half-width katakana: rare in records
    else if (u >= 0xE000 && u <= 0xF8FF) score -= 10;  // private use
    else if (u == 0xFFFD || (u < 0x20 && u != '\t' && u != '\n' && u != '\r')) score -= 10;
    else if (u >= 0x80 && u < 0x100) score -= 1;       // Latin-1 symbols: what a wrong guess gives
  }
  return score;
}

// The value of CA in the first node, read from the raw bytes (ASCII-compatible sets only).
std::string DeclaredCharset(std::string_view bytes) {
  const size_t start = bytes.find("(;");
  if (start == std::string_view::npos) return {};
  size_t i = start + 2;
  std::string ident;
  while (i < bytes.size()) {
    const char c = bytes[i];
    if (c == '[') {
      const size_t valueStart = i + 1;
      size_t j = valueStart;
      while (j < bytes.size() && bytes[j] != ']') j += bytes[j] == '\\' ? 2 : 1;
      if (j >= bytes.size()) return {};
      if (ident == "CA") {
        std::string value(bytes.substr(valueStart, j - valueStart));
        while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.pop_back();
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.erase(0, 1);
        return value;
      }
      i = j + 1;
      continue;
    }
    if (c == ';' || c == '(' || c == ')') return {};  // the first node ended
    if (c >= 'A' && c <= 'Z') {
      if (i > 0 && !(bytes[i - 1] >= 'A' && bytes[i - 1] <= 'Z') && !(bytes[i - 1] >= 'a' && bytes[i - 1] <= 'z'))
        ident.clear();
      ident += c;
    } else if (!(c >= 'a' && c <= 'z') && c != ' ' && c != '\t' && c != '\n' && c != '\r') {
      ident.clear();
    }
    ++i;
  }
  return {};
}

// UTF-16 without a byte-order mark: every other byte of ASCII text is zero.
const char *Utf16WithoutMark(std::string_view bytes) {
  if (bytes.size() < 4) return nullptr;
  size_t evenZero = 0, oddZero = 0;
  const size_t n = std::min<size_t>(bytes.size(), 4096);
  for (size_t i = 0; i < n; ++i)
    if (bytes[i] == 0) (i % 2 == 0 ? evenZero : oddZero) += 1;
  if (oddZero > n / 4 && evenZero == 0) return "UTF-16LE";
  if (evenZero > n / 4 && oddZero == 0) return "UTF-16BE";
  return nullptr;
}

bool Decode(std::string_view bytes, const std::string &charset, TDecodedText &out) {
  std::string text;
  if (!ConvertToUtf8(bytes, charset, text)) return false;
  out.Text = NormaliseLineEnds(text);
  out.Charset = charset;
  return true;
}

bool Guess(std::string_view bytes, TDecodedText &out) {
  if (IsValidUtf8(bytes)) {
    out.Text = NormaliseLineEnds(std::string(bytes));
    out.Charset = "UTF-8";
    return true;
  }
  static const char *const candidates[] = {"windows-31j", "EUC-JP", "GB18030", "Big5", "EUC-KR"};
  long best = 0;
  std::string bestSet;
  std::u16string bestUnits;
  for (const char *set : candidates) {
    std::u16string units;
    if (!ToUnits(bytes, set, units)) continue;
    const long score = Plausibility(units);
    if (bestSet.empty() || score > best) {
      best = score;
      bestSet = set;
      bestUnits = std::move(units);
    }
  }
  if (bestSet.empty()) {
    // Every byte is a Latin-1 character; nothing better is left.
    if (!ToUnits(bytes, "ISO-8859-1", bestUnits)) return false;
    bestSet = "ISO-8859-1";
  }
  out.Text = NormaliseLineEnds(UnitsToUtf8(bestUnits));
  out.Charset = bestSet == "windows-31j" ? "Shift_JIS" : bestSet;
  return true;
}

}  // namespace

bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    int extra = 0;
    unsigned min = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1;
      min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
      min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3;
      min = 0x10000;
    } else {
      return false;
    }
    if (i + static_cast<size_t>(extra) >= s.size()) return false;
    unsigned cp = c & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      const auto t = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += static_cast<size_t>(extra) + 1;
  }
  return true;
}

bool ConvertToUtf8(std::string_view bytes, const std::string &charset, std::string &out) {
  std::u16string units;
  if (!ToUnits(bytes, charset, units)) return false;
  out = UnitsToUtf8(units);
  return true;
}

std::string ConvertFromUtf8(std::string_view text, const std::string &charset) {
  std::u16string units;
  if (!ToUnits(text, "UTF-8", units)) return {};
  TConverter c = OpenStrict(charset);
  if (!c) return {};
  std::string out(units.size() * 4 + 8, '\0');
  UErrorCode status = U_ZERO_ERROR;
  const int32_t n = ucnv_fromUChars(c.get(), out.data(), static_cast<int32_t>(out.size()),
                                    reinterpret_cast<const UChar *>(units.data()),
                                    static_cast<int32_t>(units.size()), &status);
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<size_t>(n));
  return out;
}

TDecodedText DecodeRecordBytes(std::string_view bytes) {
  TDecodedText out;
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    if (Decode(bytes.substr(3), "UTF-8", out)) return out;
    throw ESgfError(TSgfErrorCode::BadEncoding, 0, 0, "UTF-8 と書かれた棋譜ですが、UTF-8 として読めない部分があります。");
  }
  if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF") {
    const std::string set = bytes[0] == '\xFF' ? "UTF-16LE" : "UTF-16BE";
    if (Decode(bytes.substr(2), set, out)) return out;
    throw ESgfError(TSgfErrorCode::BadEncoding, 0, 0, "UTF-16 の棋譜ですが、読めない部分があります。");
  }
  if (const char *set = Utf16WithoutMark(bytes)) {
    if (Decode(bytes, set, out)) return out;
  }
  const std::string declared = DeclaredCharset(bytes);
  if (!declared.empty()) {
    if (Decode(bytes, declared, out)) return out;
    TConverter known = OpenStrict(declared);
    const std::string why = known ? "文字コード " + declared + " と書かれていますが、その文字コードでは読めません。"
                                  : "文字コード " + declared + " は扱えません。";
    if (Guess(bytes, out)) {
      out.Warning = why + out.Charset + " として読みました。";
      return out;
    }
    throw ESgfError(TSgfErrorCode::BadEncoding, 0, 0, why);
  }
  if (Guess(bytes, out)) return out;
  throw ESgfError(TSgfErrorCode::BadEncoding, 0, 0, "棋譜の文字コードがわかりません。");
}

}  // namespace go
