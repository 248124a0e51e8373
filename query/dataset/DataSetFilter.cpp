// The dataset's Filter text and OnFilterRecord on its cursor.
#include "engine/cursor/DataCursor.h"
#include "query/filter/ExprFilter.h"
#include "query/dataset/KuraDataSet.h"
#include "query/dataset/TextCompare.h"

namespace kura {

void TKuraDataSet::InstallFilters() {
  if (!FFiltered) return;
  if (!TrimText(FFilterText).empty()) {
    // Compiled by the engine's expression filter, which answers comparisons on indexed
    // fields from the index; it goes before the query engine's own filters.
    TExprFilterOptions options;
    options.CaseInsensitive = FFilterOptions.CaseInsensitive;
    options.PartialCompare = !FFilterOptions.NoPartialCompare;
    options.EndGroup = false;
    FTextFilter = AddExprFilter(*FCursor, FFilterText, options);
    FCursor->ActivateFilter(FTextFilter);
  }
  if (OnFilterRecord) {
    FEventFilter = FCursor->AddCallbackFilter([this](const uint8_t *record) {
      bool accept = true;
      const TDataSetState saved = FState;
      FFilterRecord = record;
      FState = TDataSetState::dsFilter;
      try {
        OnFilterRecord(*this, accept);
      } catch (const std::exception &e) {
        // The application's handler reports it; the scan goes on with the record accepted.
        if (ApplicationExceptionHandler) ApplicationExceptionHandler(e);
      }
      FState = saved;
      FFilterRecord = nullptr;
      return accept;
    });
    FCursor->ActivateFilter(FEventFilter);
  }
}

void TKuraDataSet::RemoveFilters() {
  if (FTextFilter) {
    TCursorFilter *f = FTextFilter;
    FTextFilter = nullptr;
    FCursor->DropFilter(f);
  }
  if (FEventFilter) {
    TCursorFilter *f = FEventFilter;
    FEventFilter = nullptr;
    FCursor->DropFilter(f);
  }
}

void TKuraDataSet::ReapplyFilters() {
  RemoveFilters();
  try {
    InstallFilters();
  } catch (...) {
    // A text that does not compile leaves the dataset unfiltered rather than half filtered.
    RemoveFilters();
    First();
    Notify(&TDataSetObserver::DataSetChanged);
    throw;
  }
  First();
  Notify(&TDataSetObserver::DataSetChanged);
}

void TKuraDataSet::SetFilter(const std::string &text) {
  if (text == FFilterText) return;
  if (Active()) CheckBrowseMode();
  FFilterText = text;
  if (Active() && FFiltered) {
    ReapplyFilters();
  }
}

void TKuraDataSet::SetFiltered(bool filtered) {
  if (filtered == FFiltered) return;
  if (Active()) CheckBrowseMode();
  FFiltered = filtered;
  if (Active()) {
    ReapplyFilters();
  }
}

void TKuraDataSet::SetFilterOptions(const TFilterOptions &options) {
  if (Active()) CheckBrowseMode();
  FFilterOptions = options;
  if (Active() && FFiltered) {
    ReapplyFilters();
  }
}

void TKuraDataSet::SetOnFilterRecord(std::function<void(TKuraDataSet &, bool &accept)> handler) {
  if (Active()) CheckBrowseMode();
  OnFilterRecord = std::move(handler);
  if (Active() && FFiltered) {
    ReapplyFilters();
  }
}

}  // namespace kura
