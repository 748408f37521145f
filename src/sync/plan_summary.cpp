#include "sync/plan_summary.h"

#include <algorithm>
#include <set>

#include "platform/cp932.h"
#include "sync/journal.h"
#include "sync/texts.h"

namespace fenmora {

namespace {

// "待ち受け画像 STIL0002.JPG「タイトル」"
std::string ItemLine(MediaKind kind, const MediaEntry& e, const std::string& name) {
  return std::string("  ") + texts::Of(texts::kKindNames, kind) + " " + name +
         Fill(texts::kQuoted, {Cp932ToUtf8(e.title)});
}

}  // namespace

PlanSummary SummarizePlan(const CommitPlan& plan, const CardSession& session) {
  PlanSummary s;
  // Read from the end: a file renamed to a name that a later step takes it
  // from (a "_" name, a name set aside before its removal) is on its way.
  std::set<std::filesystem::path> laterSources;
  for (auto it = plan.steps.rbegin(); it != plan.steps.rend(); ++it) {
    const CommitStep& step = *it;
    const StepTraits::Counts counts = TraitsOf(step.action).counts;
    const bool onItsWay = (counts == StepTraits::Counts::Rename || counts == StepTraits::Counts::Aside) &&
                          laterSources.count(step.dest) > 0;
    if (step.action != CommitStep::Action::CopyIn && !step.src.empty()) laterSources.insert(step.src);  // it leaves
    if (onItsWay) continue;
    switch (counts) {
      case StepTraits::Counts::Table: ++s.tables; break;
      case StepTraits::Counts::Deletion: ++s.deletions; break;
      case StepTraits::Counts::Rename: ++s.renames; break;
      case StepTraits::Counts::Aside: ++s.asides; break;
      case StepTraits::Counts::Copy: ++s.copies; break;
      case StepTraits::Counts::Nothing: break;
    }
  }
  s.text = std::string(texts::kPlanQuestion) + "\n\n" + texts::kPlanRenames +
           std::to_string(s.renames) + texts::kPlanUnit + "\n" + texts::kPlanDeletions +
           std::to_string(s.deletions) + texts::kPlanUnit + "\n" + texts::kPlanCopies +
           std::to_string(s.copies) + texts::kPlanUnit + "\n" + texts::kPlanTables +
           std::to_string(s.tables) + texts::kPlanUnit;
  if (s.asides > 0) s.text += std::string("\n") + texts::kPlanAsides + std::to_string(s.asides) + texts::kPlanUnit;

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
        added += ItemLine(kind, e, e.cardName) + " ← " +
                 (e.userFile.empty() ? e.sourceFolder + e.sourceName : e.userFile) + "\n";
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
