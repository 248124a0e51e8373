// Reading the fault injector's log of changes and syncs; the order rules; power-loss images.
#include "tests/fault/SyncLog.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

#include "tests/fault/KuraSqlRun.h"

namespace kura::faulttest {

namespace {

enum class TKind { Table, Journal, Record, Plan, Other };

TKind KindOf(const std::string &name) {
  const size_t dot = name.find_last_of('.');
  if (dot == std::string::npos) return TKind::Other;
  std::string ext = name.substr(dot);
  for (char &c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (ext == ".DAT" || ext == ".IDX" || ext == ".BLB") return TKind::Table;
  if (ext == ".JNL") return TKind::Journal;
  if (ext == ".TXN") return TKind::Record;
  if (ext == ".MOV" || ext == ".MVS") return TKind::Plan;
  return TKind::Other;
}

std::string StemOf(const std::string &name) {
  std::string stem = name.substr(0, name.find_last_of('.'));
  for (char &c : stem) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return stem;
}

}  // namespace

std::vector<TSyncEvent> ReadSyncLog(const std::filesystem::path &log) {
  std::vector<TSyncEvent> events;
  std::ifstream in(log);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    TSyncEvent e;
    fields >> e.Op >> e.Name;
    if (e.Op == 'W') fields >> e.Offset >> e.Length >> e.DataAt;
    if (e.Op == 'T' || e.Op == 'A') fields >> e.Offset;
    if (e.Op == 'R') fields >> e.To;
    if (e.Op && !e.Name.empty()) events.push_back(e);
  }
  return events;
}

std::vector<std::string> SyncOrderBreaches(const std::vector<TSyncEvent> &events) {
  std::vector<std::string> breaches;
  struct TJournalState {
    enum { None, Header, Body, Clear } Last = None;
    bool Armed = false;           // a unit is written and synced
    bool NameUnsynced = false;    // made, its directory entry not yet synced
    bool ClearUnsynced = false;   // cleared, not yet synced
  };
  struct TListState {
    bool Synced = false, NameSynced = false;
  };
  std::map<std::string, bool> dirty;          // written since its last sync
  std::set<std::string> made, syncedHere;     // made by this run; synced under its name
  std::map<std::string, TJournalState> journals;  // by table
  std::map<std::string, TListState> records, plans;
  std::set<std::string> namesUnsynced;        // table files and journals made, moved, removed
  auto clearJournal = [&](const std::string &table, size_t i) {
    for (const auto &[file, isDirty] : dirty)
      if (isDirty && KindOf(file) == TKind::Table && StemOf(file) == table)
        breaches.push_back("event " + std::to_string(i) + ": journal of " + table + " cleared before " + file +
                           " was synced");
    TJournalState &j = journals[table];
    j.Last = TJournalState::Clear;
    j.Armed = false;
    j.ClearUnsynced = true;
  };
  for (size_t i = 0; i < events.size(); ++i) {
    const TSyncEvent &e = events[i];
    const TKind kind = KindOf(e.Name);
    const std::string at = "event " + std::to_string(i) + ": ";
    switch (e.Op) {
      case 'W':
      case 'T':
      case 'A':
        if (kind == TKind::Table) {
          const TJournalState &j = journals[StemOf(e.Name)];
          if (!made.count(e.Name) && (!j.Armed || j.NameUnsynced))
            breaches.push_back(at + e.Name + " written before its journal's unit was on the disk");
          for (const auto &[record, state] : records)
            if (!state.Synced || !state.NameSynced)
              breaches.push_back(at + e.Name + " written before the commit record " + record + " was on the disk");
        } else if (kind == TKind::Journal) {
          TJournalState &j = journals[StemOf(e.Name)];
          if (e.Op == 'W' && e.Offset == 0 && e.Length >= 32) j.Last = TJournalState::Header;
          else if (e.Op == 'W' && e.Offset == 0 && e.Length == 4) clearJournal(StemOf(e.Name), i);
          else if (e.Op == 'T' && e.Offset == 0 && j.Armed) clearJournal(StemOf(e.Name), i);
          else if (e.Op == 'W') j.Last = TJournalState::Body;
        } else if (kind == TKind::Record) {
          records[e.Name].Synced = false;
        } else if (kind == TKind::Plan) {
          plans[e.Name].Synced = false;
        }
        dirty[e.Name] = true;
        break;
      case 'S':
        if (e.Name == ".") {
          for (auto &[name, state] : records) state.NameSynced = true;
          for (auto &[name, state] : plans) state.NameSynced = true;
          for (auto &[table, j] : journals) j.NameUnsynced = false;
          namesUnsynced.clear();
          break;
        }
        dirty[e.Name] = false;
        syncedHere.insert(e.Name);
        if (kind == TKind::Journal) {
          TJournalState &j = journals[StemOf(e.Name)];
          if (j.Last == TJournalState::Header) j.Armed = true;
          if (j.Last == TJournalState::Clear) j.ClearUnsynced = false;
        } else if (kind == TKind::Record) {
          records[e.Name].Synced = true;
        } else if (kind == TKind::Plan) {
          plans[e.Name].Synced = true;
        }
        break;
      case 'C':
        made.insert(e.Name);
        syncedHere.erase(e.Name);
        dirty[e.Name] = false;
        if (kind == TKind::Journal) journals[StemOf(e.Name)].NameUnsynced = true;
        if (kind == TKind::Record) records[e.Name] = {};
        if (kind == TKind::Plan) plans[e.Name] = {};
        if (kind == TKind::Table || kind == TKind::Journal) namesUnsynced.insert(e.Name);
        break;
      case 'R': {
        // (A file brought in from outside the directory was synced where it was made.)
        if (KindOf(e.To) == TKind::Table && e.Name != "-") {
          if (!syncedHere.count(e.Name) || dirty[e.Name])
            breaches.push_back(at + e.Name + " took the name " + e.To + " before it was synced there");
          bool planned = false;
          for (const auto &[plan, state] : plans) planned = planned || (state.Synced && state.NameSynced);
          if (!planned) breaches.push_back(at + e.Name + " took the name " + e.To + " without a plan on the disk");
        }
        dirty[e.To] = dirty[e.Name];
        dirty.erase(e.Name);
        if (syncedHere.erase(e.Name)) syncedHere.insert(e.To);
        for (const std::string &name : {e.Name, e.To})
          if (KindOf(name) == TKind::Table || KindOf(name) == TKind::Journal) namesUnsynced.insert(name);
        break;
      }
      case 'U':
        dirty.erase(e.Name);
        syncedHere.erase(e.Name);
        if (kind == TKind::Table || kind == TKind::Journal) namesUnsynced.insert(e.Name);
        if (kind == TKind::Record) {
          for (const auto &[table, j] : journals)
            if (j.ClearUnsynced)
              breaches.push_back(at + e.Name + " removed before the cleared journal of " + table + " was synced");
          records.erase(e.Name);
        }
        if (kind == TKind::Plan) plans.erase(e.Name);
        break;
    }
  }
  for (const auto &[file, isDirty] : dirty)
    if (isDirty && KindOf(file) == TKind::Table) breaches.push_back("at the end: " + file + " not synced");
  for (const std::string &name : namesUnsynced)
    breaches.push_back("at the end: the directory not synced after " + name + " was made, moved or removed");
  return breaches;
}

void BuildPowerLossImage(const std::vector<TSyncEvent> &events, size_t cut, const std::filesystem::path &start,
                         const std::filesystem::path &data, const std::filesystem::path &final,
                         const std::filesystem::path &out, bool tableWritesSurvive) {
  struct TFile {
    std::string Disk;                  // what the disk holds of it
    std::vector<TSyncEvent> Unsynced;  // changes since its last sync
  };
  std::vector<TFile> files;
  std::map<std::string, size_t> names, diskNames;  // name -> file, as seen and as on the disk
  const std::string bytes = ReadFile(data);
  auto apply = [&](std::string &content, const TSyncEvent &e) {
    if (e.Op == 'W') {
      if (static_cast<int64_t>(content.size()) < e.Offset + e.Length)
        content.resize(static_cast<size_t>(e.Offset + e.Length), '\0');
      if (e.DataAt >= 0)
        content.replace(static_cast<size_t>(e.Offset), static_cast<size_t>(e.Length),
                        bytes.substr(static_cast<size_t>(e.DataAt), static_cast<size_t>(e.Length)));
    } else if (e.Op == 'T') {
      content.resize(static_cast<size_t>(e.Offset), '\0');
    } else if (e.Op == 'A' && static_cast<int64_t>(content.size()) < e.Offset) {
      content.resize(static_cast<size_t>(e.Offset), '\0');
    }
  };
  for (const auto &entry : std::filesystem::directory_iterator(start)) {
    files.push_back({ReadFile(entry.path()), {}});
    names[entry.path().filename().string()] = files.size() - 1;
  }
  diskNames = names;
  for (size_t i = 0; i < cut && i < events.size(); ++i) {
    const TSyncEvent &e = events[i];
    auto found = names.find(e.Name);
    switch (e.Op) {
      case 'W':
      case 'T':
      case 'A':
        if (found != names.end()) files[found->second].Unsynced.push_back(e);
        break;
      case 'S':
        if (e.Name == ".") {
          diskNames = names;
        } else if (found != names.end()) {
          TFile &f = files[found->second];
          for (const TSyncEvent &change : f.Unsynced) apply(f.Disk, change);
          f.Unsynced.clear();
        }
        break;
      case 'C':
        files.push_back({});
        names[e.Name] = files.size() - 1;
        break;
      case 'R':
        if (e.Name == "-") {
          // Brought in from outside (written and synced there): its bytes are those it has at
          // the end, under the last name it is given.
          std::string last = e.To;
          for (size_t k = i + 1; k < events.size(); ++k)
            if (events[k].Op == 'R' && events[k].Name == last) last = events[k].To;
          files.push_back({ReadFile(final / last), {}});
          names[e.To] = files.size() - 1;
        } else if (found != names.end()) {
          const size_t file = found->second;
          names.erase(found);
          if (e.To != "-") names[e.To] = file;
        }
        break;
      case 'U':
        if (found != names.end()) names.erase(found);
        break;
    }
  }
  std::filesystem::remove_all(out);
  std::filesystem::create_directories(out);
  for (const auto &[name, file] : diskNames) {
    std::string content = files[file].Disk;
    if (tableWritesSurvive && KindOf(name) == TKind::Table)
      for (const TSyncEvent &change : files[file].Unsynced) apply(content, change);
    std::ofstream(out / name, std::ios::binary) << content;
  }
}

}  // namespace kura::faulttest
