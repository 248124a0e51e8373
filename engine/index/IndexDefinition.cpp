// Index descriptor definitions and their checks.
#include "engine/index/IndexDefinition.h"

#include <cctype>

namespace kura {

namespace {

std::string Trim(const std::string &s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

bool SameName(const std::string &a, const std::string &b) {
  std::string x = Trim(a), y = Trim(b);
  if (x.size() != y.size()) return false;
  for (size_t i = 0; i < x.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(x[i])) != std::toupper(static_cast<unsigned char>(y[i]))) return false;
  return true;
}

ErrorTexts With(const ErrorTexts &texts, const std::string &index, const std::string &field = {}) {
  ErrorTexts t = texts;
  t.Index = index;
  if (!field.empty()) t.Field = field;
  return t;
}

uint16_t KeySizeOf(const TIndexDefinitionField &f) { return f.Type == EngineFieldType::BCD ? 8 : f.StoredSize; }

void CheckKeyFields(const TIndexDefinition &d, const ErrorTexts &texts) {
  for (const TIndexDefinitionField &f : d.Fields) {
    bool keyable = f.Type != EngineFieldType::Blob && f.Type != EngineFieldType::Unknown &&
                   static_cast<int>(f.Type) != 16 && static_cast<int>(f.Type) != 17;
    if (!keyable) RaiseEngineError(KURA_SEARCHCOLREQD, With(texts, d.Name, f.FieldName));
  }
}

void FillDescriptor(TIndexDescriptor &desc, const TIndexDefinition &d, bool unique, int keyLength) {
  int32_t keptFree = desc.FirstFreePage;  // pages freed earlier by this slot stay reusable
  desc = TIndexDescriptor{};
  desc.Name = Trim(d.Name);
  desc.KeyLength = static_cast<int16_t>(keyLength);
  desc.Descending = d.Descending;
  desc.CaseInsensitive = d.CaseInsensitive;
  desc.Unique = unique;
  desc.Compression = d.Compression;
  desc.FieldCount = static_cast<uint8_t>(d.Fields.size());
  for (size_t i = 0; i < d.Fields.size(); ++i) {
    desc.FieldNumbers[i] = d.Fields[i].FieldNumber;
    desc.FieldDescending[i] = d.Fields[i].Descending ? 1 : 0;
  }
  desc.RootPage = 0;
  desc.FirstFreePage = keptFree;
}

}  // namespace

int IndexKeyLength(const TIndexDefinition &definition, bool unique) {
  int k = 0;
  for (const TIndexDefinitionField &f : definition.Fields) k += KeySizeOf(f) + 1;
  return unique ? k : k + 4;
}

void DefinePrimaryIndex(TIndexHeader &header, const TIndexDefinition &definition, const ErrorTexts &texts) {
  TIndexDescriptor &desc = header.Descriptors[kPrimaryIndex];
  if (desc.KeyLength > 0) RaiseEngineError(KURA_PRIMARYKEYREDEFINE, texts);
  if (definition.Fields.size() > kMaxKeyFields) RaiseEngineError(KURA_INDEXLIMIT, texts);
  if (definition.Fields.empty()) {
    header.NoPrimaryKey = true;
    return;
  }
  header.NoPrimaryKey = false;
  CheckKeyFields(definition, texts);
  int k = IndexKeyLength(definition, true);
  if (k < 1 || k > kMaxKeyLength) RaiseEngineError(KURA_INVALIDKEY, With(texts, definition.Name));
  TIndexDefinition primary = definition;
  primary.Name.clear();
  FillDescriptor(desc, primary, true, k);
}

int AddSecondaryIndex(TIndexHeader &header, const TIndexDefinition &definition, const ErrorTexts &texts) {
  if (header.SecondaryCount >= kMaxSecondaryIndexes || definition.Fields.size() > kMaxKeyFields)
    RaiseEngineError(KURA_INDEXLIMIT, texts);
  std::string name = Trim(definition.Name);
  if (name.empty()) RaiseEngineError(KURA_INDEXNAMEREQUIRED, texts);
  unsigned char first = static_cast<unsigned char>(name[0]);
  bool goodStart = std::isalpha(first) || first == '_' || (first >= 128 && first <= 254);
  // The name is stored as a short string of 30 bytes; a longer one would be cut silently.
  if (!goodStart || name.size() > kMaxIndexNameLength) RaiseEngineError(KURA_INVALIDINDEXNAME, With(texts, name));
  for (int i = 1; i <= header.SecondaryCount; ++i)
    if (SameName(header.Descriptors[i].Name, name)) RaiseEngineError(KURA_INDEXEXISTS, With(texts, name));
  CheckKeyFields(definition, texts);
  int k = IndexKeyLength(definition, definition.Unique);
  if (definition.Fields.empty() || k > kMaxKeyLength + 4 || k - (definition.Unique ? 0 : 4) > kMaxKeyLength)
    RaiseEngineError(KURA_INVALIDKEY, With(texts, name));
  int indexNo = header.SecondaryCount + 1;
  header.Descriptors[indexNo] = TIndexDescriptor{};
  FillDescriptor(header.Descriptors[indexNo], definition, definition.Unique, k);
  header.SecondaryCount = static_cast<uint8_t>(indexNo);
  return indexNo;
}

int FindIndexByName(const TIndexHeader &header, const std::string &name) {
  if (Trim(name).empty()) return header.Descriptors[kPrimaryIndex].KeyLength > 0 ? kPrimaryIndex : -1;
  for (int i = 1; i <= header.SecondaryCount; ++i)
    if (SameName(header.Descriptors[i].Name, name)) return i;
  return -1;
}

namespace {

// Every page an index owns: its tree and its free list. Pages are read raw through the cache
// so that this works for any key definition.
void CollectOwnedPages(TIndexPageCache &cache, int indexNo, std::vector<int32_t> &pages) {
  const TIndexDescriptor &d = cache.Descriptor(indexNo);
  const int64_t limit = cache.Header().NextPage;
  std::vector<std::pair<int32_t, int>> stack;
  if (d.RootPage != 0) stack.emplace_back(d.RootPage, 0);
  while (!stack.empty()) {
    auto [pageNo, depth] = stack.back();
    stack.pop_back();
    if (depth >= 64 || static_cast<int64_t>(pages.size()) >= limit) cache.RaiseCorrupt();
    TPageRef page = cache.GetPage(indexNo, pageNo);
    if (page->Free) cache.RaiseCorrupt();
    pages.push_back(pageNo);
    if (!page->IsLeaf())
      for (int i = 0; i < page->Count(); ++i) stack.emplace_back(static_cast<int32_t>(page->Value(i)), depth + 1);
  }
  int32_t free = d.FirstFreePage;
  while (free != 0) {
    if (static_cast<int64_t>(pages.size()) >= limit) cache.RaiseCorrupt();
    TPageRef page = cache.GetPage(indexNo, free);
    if (!page->Free) cache.RaiseCorrupt();
    pages.push_back(free);
    free = page->NextPage;
  }
}

}  // namespace

void DeleteIndex(TIndexPageCache &cache, int indexNo) {
  TIndexHeader &h = cache.Header();
  if (indexNo < 0 || indexNo > h.SecondaryCount || !h.IndexInUse(indexNo))
    RaiseEngineError(KURA_INVALIDINDEXNAME, cache.Texts());
  std::vector<int32_t> pages;
  CollectOwnedPages(cache, indexNo, pages);
  cache.DropIndexPages(indexNo);
  // The pages move to the system record index's free list, so the file keeps them for reuse.
  for (int32_t p : pages) cache.AdoptFreePage(kSystemRecordIndex, p);
  cache.WriteDirtyPages();
  cache.DropPages();  // index numbers after the deleted one change
  if (indexNo == kPrimaryIndex) {
    h.Descriptors[kPrimaryIndex] = TIndexDescriptor{};
    h.NoPrimaryKey = true;
  } else {
    for (int i = indexNo; i < h.SecondaryCount; ++i) h.Descriptors[i] = h.Descriptors[i + 1];
    h.Descriptors[h.SecondaryCount] = TIndexDescriptor{};
    --h.SecondaryCount;
  }
  cache.MarkHeaderDirty();
}

}  // namespace kura
