#include "sync/plan_summary.h"

#include "platform/cp932.h"
#include "sync/texts.h"

namespace fenmora {

namespace {

// "待ち受け画像 STIL0002.JPG「タイトル」"
std::string ItemLine(MediaKind kind, const MediaEntry& e, const std::string& name) {
  return std::string("  ") + texts::Of(texts::kKindNames, kind) + " " + name + "「" +
         Cp932ToUtf8(e.title) + "」";
}

}  // namespace

PlanSummary SummarizePlan(const CommitPlan& plan, const CardSession& session) {
  PlanSummary s;
  for (const CommitStep& step : plan.steps) {
    switch (step.action) {
      case CommitStep::Action::WriteTable: ++s.tables; break;
      case CommitStep::Action::Remove: ++s.deletions; break;
      case CommitStep::Action::Copy: ++s.copies; break;
      case CommitStep::Action::Rename:
        if (!step.parking) ++s.renames;
        break;
      default: break;
    }
  }
  s.text = std::string(texts::kPlanQuestion) + "\n\n" + texts::kPlanRenames +
           std::to_string(s.renames) + texts::kPlanUnit + "\n" + texts::kPlanDeletions +
           std::to_string(s.deletions) + texts::kPlanUnit + "\n" + texts::kPlanCopies +
           std::to_string(s.copies) + texts::kPlanUnit + "\n" + texts::kPlanTables +
           std::to_string(s.tables) + texts::kPlanUnit;

  std::string deleted, added;
  for (MediaKind kind : kListKinds) {
    const MediaCatalogue& c = session.Catalogue(kind);
    // In list order: the live entries by position, then the marked ones.
    for (std::int32_t p = 1; p <= c.count; ++p) {
      const int i = c.FindByPosition(p);
      if (i < 0) continue;
      const MediaEntry& e = c.Slot(i);
      if (e.toDelete && !e.queued) deleted += ItemLine(kind, e, e.sourceName) + "\n";
      if (!e.toDelete && e.queued)
        added += ItemLine(kind, e, e.cardName) + " ← " + e.sourceFolder + e.sourceName + "\n";
    }
  }
  if (!deleted.empty()) s.details += std::string(texts::kPlanDeletedItems) + "\n" + deleted;
  if (!added.empty()) {
    if (!s.details.empty()) s.details += "\n";
    s.details += std::string(texts::kPlanAddedItems) + "\n" + added;
  }
  if (!s.details.empty() && s.details.back() == '\n') s.details.pop_back();
  return s;
}

}  // namespace fenmora
