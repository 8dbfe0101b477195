#include "ui/windows/DetailsRows.h"

#include <algorithm>
#include <cstring>

#include "inventory/CommandAnalysis.h"
#include "inventory/UCollection.h"
#include "registry/RegTree.h"
#include "registry/TRegistry.h"
#include "util/Locale.h"
#include "util/QV_Conversion.h"
#include "util/Utf.h"

namespace pgl {

namespace {

std::uint32_t U32(std::string_view data, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(data[at + i]);
  return v;
}

std::string Hex(std::string_view data) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (i > 0) out += ' ';
    const auto b = static_cast<unsigned char>(data[i]);
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

// Every type is shown readably: texts as stored (not expanded), 32-bit numbers as signed
// decimals, 64-bit numbers as unsigned decimals, multi-strings one string a line, anything
// else as its bytes in hexadecimal.
std::string ValueText(const RegValue& v, int& image) {
  const std::string data = v.Bytes();
  switch (v.type) {
    case kRegSz:
    case kRegExpandSz:
      image = 1;
      return Utf16ToUtf8(v.Text());
    case kRegDword:
      image = 0;
      if (data.size() == 4) return std::to_string(static_cast<std::int32_t>(U32(data, 0)));
      return Hex(data);
    case kRegQword:
      image = 0;
      if (data.size() == 8)
        return std::to_string(static_cast<std::uint64_t>(U32(data, 4)) << 32 | U32(data, 0));
      return Hex(data);
    case kRegMultiSz: {
      image = 1;
      const std::u16string units = Utf16LeUnits(data);
      std::string out;
      std::size_t start = 0;
      while (start < units.size()) {
        std::size_t end = units.find(u'\0', start);
        if (end == std::u16string::npos) end = units.size();
        if (end == start) break;  // the empty string that ends the list
        if (!out.empty()) out += '\n';
        out += Utf16ToUtf8(std::u16string_view(units).substr(start, end - start));
        start = end + 1;
      }
      return out;
    }
    default:
      image = 0;
      return Hex(data);
  }
}

void ListValues(const RegKey& key, std::vector<DetailsRow>& rows, std::string* slowInfo) {
  std::vector<const RegValue*> values;
  for (const RegValue& v : key.Values()) values.push_back(&v);
  const TextCollator& collator = TextCollator::User();
  std::stable_sort(values.begin(), values.end(), [&](const RegValue* a, const RegValue* b) {
    if (a->Name().empty() != b->Name().empty()) return a->Name().empty();
    return collator.Compare(Utf16ToUtf8(a->Name()), Utf16ToUtf8(b->Name()), true) < 0;
  });
  int position = 0;
  for (const RegValue* v : values) {
    DetailsRow row;
    row.no = " " + std::to_string(++position);
    row.name = v->Name().empty() ? "(Default)" : Utf16ToUtf8(v->Name());
    row.value = ValueText(*v, row.image);
    rows.push_back(std::move(row));
    if (slowInfo && v->Name() == u"SlowInfoCache" && v->type == kRegBinary &&
        v->DataSize() == TSlowInfoCache::kSize)
      *slowInfo = v->Bytes();
  }
}

void Decode(std::string_view data, std::vector<DetailsRow>& rows) {
  const TSlowInfoCache record = TSlowInfoCache::FromBytes(data);
  const std::int64_t size = record.InstalledSize();
  const std::pair<const char*, std::string> fields[] = {
      {"Size", std::to_string(record.cbSize())},
      {"HasName", std::to_string(static_cast<std::int32_t>(record.HasName()))},
      {"InstallSize",
       std::to_string(size) + (size >= 0 ? " (" + SizeToText(size) + ")" : std::string())},
      {"LastUsed", FileTimeToDateText(record.LastUsed())},
      {"Frequency", std::to_string(record.TimesUsed())},
      {"Name", record.ImageName()},
  };
  int position = 0;
  for (const auto& [name, value] : fields) {
    DetailsRow row;
    row.kind = DetailsRow::Kind::Decoded;
    row.no = " " + std::to_string(++position);
    row.name = name;
    row.value = value;
    rows.push_back(std::move(row));
  }
}

DetailsRow Header(DetailsRow::Kind kind, const char* marker) {
  DetailsRow row;
  row.kind = kind;
  row.no = marker;
  return row;
}

}  // namespace

DetailsContent ReadDetails(RegistryStore& registry, UninstallView view,
                           const std::string& keyName) {
  DetailsContent content;
  if (keyName.empty()) return content;
  const UninstallPlace& place = PlaceOf(view);
  RegKey* root = registry.Hive(place.root);
  if (!root) return content;
  const std::string rootName =
      place.root == kHkeyLocalMachine ? "HKEY_LOCAL_MACHINE\\" : "HKEY_CURRENT_USER\\";
  const std::string uninstall = UninstallKeyPath(view, keyName);
  const std::string arpCache = ARPCacheKeyPath(view, keyName);
  std::string slowInfo;
  if (const RegKey* key = FindRegKey(root, uninstall)) {
    content.rows.push_back(Header(DetailsRow::Kind::UninstallHeader, "+"));
    content.uninstallKey = rootName + uninstall;
    ListValues(*key, content.rows, nullptr);
  }
  if (const RegKey* key = FindRegKey(root, arpCache)) {
    content.rows.push_back(Header(DetailsRow::Kind::ARPCacheHeader, "-"));
    content.arpCacheKey = rootName + arpCache;
    ListValues(*key, content.rows, &slowInfo);
  }
  if (!slowInfo.empty()) {
    content.rows.push_back(Header(DetailsRow::Kind::SlowInfoHeader, ":"));
    Decode(slowInfo, content.rows);
  } else if (const RegKey* key = FindRegKey(root, uninstall)) {
    // No usage record (Wine writes none): the size is the installer's estimate, if any.
    const RegValue* estimate = key->FindValue(u"EstimatedSize");
    std::int64_t bytes = -1;  // 0xFFFFFFFF is installers' "not known"
    if (estimate && estimate->type == kRegDword)
      if (const auto kb = DwordOf(*estimate); kb && *kb != -1)
        bytes = static_cast<std::int64_t>(static_cast<std::uint32_t>(*kb)) * 1024;
    DetailsRow row;
    row.kind = DetailsRow::Kind::Decoded;
    row.no = " 1";
    row.name = "Size";
    row.value = bytes >= 0 ? std::to_string(bytes) + " (" + SizeToText(bytes) +
                                 "): the installer's estimate (EstimatedSize); there is no usage "
                                 "record"
                           : "not known: there is no usage record and no EstimatedSize";
    content.rows.push_back(std::move(row));
  }
  return content;
}

const char* HeaderTitle(DetailsRow::Kind kind) {
  switch (kind) {
    case DetailsRow::Kind::UninstallHeader:
      return "Uninstall Key";
    case DetailsRow::Kind::ARPCacheHeader:
      return "ARP Cache Key";
    case DetailsRow::Kind::SlowInfoHeader:
      return "ARP SlowInfoCache";
    default:
      return "";
  }
}

std::string DetailsCopyText(const std::vector<const DetailsRow*>& rows) {
  std::string out;
  for (const DetailsRow* row : rows) {
    if (row->IsHeader())
      out +=
          std::string("//////////////////// ") + HeaderTitle(row->kind) + " ////////////////////";
    else
      out += row->name + "\t" + row->value;
    out += "\r\n";
  }
  return out;
}

DetailsValueLook ValueLook(const DetailsRow& row) {
  DetailsValueLook look;
  if (row.value.find("www.") != std::string::npos || row.value.find("http://") != std::string::npos)
    look.text = 0x0000FF;
  std::string upper = row.name;
  for (char& c : upper) c = AsciiUpper(c);
  if (upper == "UNINSTALLSTRING" || upper == "QUIETUNINSTALLSTRING") look.text = 0x800000;
  look.bold = upper == "DISPLAYNAME";
  return look;
}

}  // namespace pgl
