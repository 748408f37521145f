// Random cards, random edits, a commit cut short at a random operation, then
// recovery, all checked against a model of the card kept here in the test:
// which bytes every content file holds, and which item (title, bytes) each
// list is to show in which order. The model knows nothing of the program's
// editing or commit code; it only follows what the user did.
//
// After each case: no content file's bytes are lost unless the user deleted
// every item that named the file; nothing the user kept is overwritten; every
// listed item shows its own bytes under its own title, in the order the user
// left; no parked "_" file, scratch copy or journal is left; no folder holds
// two names that a FAT card takes for one; the computer's files are untouched.
//
// FENMORA_MODEL_SEED=S runs the cases from seed S (one case when
// FENMORA_MODEL_CASES is 1), FENMORA_MODEL_CASES=N runs N cases,
// FENMORA_MODEL_SURVEY=1 runs them all and counts every kind of finding
// instead of stopping at the first (FENMORA_MODEL_LIST=1 also prints each). Cards go where FENMORA_TEST_CARD_DIR says.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <type_traits>

#include <unistd.h>

#include "catalogue/table.h"
#include "editing/editing.h"
#include "platform/cardname.h"
#include "platform/fileops.h"
#include "support/temp_card.h"
#include "sync/backup.h"
#include "sync/commit.h"
#include "sync/load.h"
#include "sync/recovery.h"
#include "sync/restore.h"
#include "sync/texts.h"

namespace fenmora {
namespace {

namespace fs = std::filesystem;

const HandsetProfile kProfile = HandsetProfile::F900i();

// ------------------------------------------------------------ the case

// Which of the card's hard parts a run may draw.
struct Features {
  bool unlisted = true;      // files no table lists, under names the program may want
  bool caseVariants = true;  // record names and files in lower or mixed case
  bool shared = true;        // two records naming one file
  bool oddExtensions = true; // ".jpeg", no extension, a record extension the profile lacks
  bool parkedLeftovers = true;  // a file ending in "_" already on the card
  bool unmount = true;       // the card taken away between load and commit
  bool tornOperations = true;  // the process dies half way through an operation
};

struct RecordSpec {
  std::string name;   // as written in the record ("stil0003.jpg")
  std::string title;  // CP932
};

struct TableSpec {
  MediaKind kind = MediaKind::Image;
  int group = 0;
  std::vector<RecordSpec> records;
};

struct CardSpec {
  std::vector<TableSpec> tables;
  std::map<std::string, std::string> files;  // card path ("PRIVATE/DOCOMO/STILL/STIL0001.JPG") -> bytes
  std::vector<std::string> folders;          // folders made even when empty
};

struct EditSpec {
  enum class Type { Add, Delete, Up, Down, Renumber, Title };
  Type type = Type::Add;
  MediaKind kind = MediaKind::Image;
  int row = 0;
  std::string text;  // Add: the computer file's name; Title: the title
};

enum class FaultMode { None, FailFrom, FailOnce, Torn, Unmount, NoSpace };

struct CaseSpec {
  std::uint64_t seed = 0;
  CardSpec card;
  std::map<std::string, std::string> pcFiles;  // name -> bytes
  std::vector<EditSpec> edits;
  FaultMode fault = FaultMode::None;
  long faultAt = 0;  // the changing file operation (1-based) the fault hits
  bool revert = false;  // asked, the user undoes the interrupted update instead of finishing it
  long recoveryFaultAt = 0;  // > 0: the commit after the cut fails from this operation on
  long restoreFaultAt = 0;   // restoring the backup taken beside the cut fails from this operation on (0: never)
};

const char* KindWord(MediaKind k) {
  return k == MediaKind::Image ? "image" : k == MediaKind::Melody ? "melody" : "movie";
}

const char* FaultWord(FaultMode f) {
  switch (f) {
    case FaultMode::None: return "none";
    case FaultMode::FailFrom: return "every operation fails from";
    case FaultMode::FailOnce: return "only operation fails:";
    case FaultMode::Torn: return "the process dies half way through operation";
    case FaultMode::Unmount: return "the card is taken away before the commit";
    case FaultMode::NoSpace: return "the card is full (another program filled it) at copy";
  }
  return "";
}

std::string Printable(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F) out += static_cast<char>(c);
    else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    }
  }
  return out;
}

std::string Short(std::string_view bytes) {
  std::string p = Printable(bytes.substr(0, 24));
  if (bytes.size() > 24) p += "...(" + std::to_string(bytes.size()) + " bytes)";
  return "\"" + p + "\"";
}

std::string Describe(const CaseSpec& c) {
  std::ostringstream o;
  o << "seed " << c.seed << "\ncard:\n";
  for (const TableSpec& t : c.card.tables) {
    o << "  table " << kProfile.ExpandTablePath(t.kind, HandsetProfile::TableNumberOfGroup(t.kind, t.group))
      << " (folder " << kProfile.GroupFolderText(t.kind, t.group) << "):";
    for (const RecordSpec& r : t.records) o << " " << r.name << "=" << Short(r.title);
    o << "\n";
  }
  for (const auto& [path, bytes] : c.card.files) o << "  file " << path << " " << Short(bytes) << "\n";
  for (const std::string& f : c.card.folders) o << "  folder " << f << "\n";
  o << "computer files:";
  for (const auto& [name, bytes] : c.pcFiles) o << " " << name;
  o << "\nedits (as fenmora-cli apply lines):\n";
  for (const EditSpec& e : c.edits) {
    o << "  ";
    switch (e.type) {
      case EditSpec::Type::Add: o << "add " << KindWord(e.kind) << " PC/" << e.text; break;
      case EditSpec::Type::Delete: o << "delete " << KindWord(e.kind) << " " << e.row; break;
      case EditSpec::Type::Up: o << "up " << KindWord(e.kind) << " " << e.row; break;
      case EditSpec::Type::Down: o << "down " << KindWord(e.kind) << " " << e.row; break;
      case EditSpec::Type::Renumber: o << "renumber " << KindWord(e.kind); break;
      case EditSpec::Type::Title: o << "title " << KindWord(e.kind) << " " << e.row << " " << Printable(e.text); break;
    }
    o << "\n";
  }
  o << "fault: " << FaultWord(c.fault);
  if (c.fault == FaultMode::FailFrom || c.fault == FaultMode::FailOnce || c.fault == FaultMode::Torn ||
      c.fault == FaultMode::NoSpace)
    o << " " << c.faultAt;
  if (c.fault == FaultMode::Unmount)
    o << (c.faultAt % 2 == 0 ? " (another card put in)" : " (the mount point left bare)");
  o << "\nafter the cut the user " << (c.revert ? "undoes" : "finishes") << " the update when asked";
  if (c.recoveryFaultAt > 0) o << "; that commit fails from operation " << c.recoveryFaultAt << " on, and the user goes again";
  if (c.restoreFaultAt > 0) o << "; restoring the backup taken beside the cut fails from operation " << c.restoreFaultAt << " on";
  o << "\n";
  return o.str();
}

// ------------------------------------------------------------ drawing a case

class Draw {
 public:
  Draw(std::uint64_t seed, const Features& features, bool big) : rng_(seed), f_(features), big_(big) {}

  CaseSpec Case(std::uint64_t seed) {
    CaseSpec c;
    c.seed = seed;
    for (MediaKind kind : kListKinds) Kind(c, kind);
    const int edits = Int(0, 10);
    for (int i = 0; i < edits; ++i) c.edits.push_back(Edit(c));
    const int mode = Int(0, 99);
    c.fault = mode < 25 ? FaultMode::None
              : mode < 45 ? FaultMode::FailFrom
              : mode < 55 ? FaultMode::NoSpace
              : mode < 70 ? FaultMode::FailOnce
              : mode < 95 ? (f_.tornOperations ? FaultMode::Torn : FaultMode::FailFrom)
                          : (f_.unmount ? FaultMode::Unmount : FaultMode::FailFrom);
    c.faultAt = c.fault == FaultMode::NoSpace ? Int(1, 3) : Int(1, 40);
    c.revert = Chance(50);
    if (Chance(15)) c.recoveryFaultAt = Int(1, 30);
    if (Chance(50)) c.restoreFaultAt = Int(1, 30);
    return c;
  }

 private:
  int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool Chance(int percent) { return Int(0, 99) < percent; }

  std::string Bytes(const std::string& tag) {
    std::string b = tag + "#" + std::to_string(++serial_) + "|";
    const int n = Int(0, 40);
    // No FF byte: a melody's title is searched for in its events (FF 03).
    for (int i = 0; i < n; ++i) b += static_cast<char>(Int(0, 254));
    return b;
  }

  // A card name in one of its spellings.
  std::string Spelled(std::string name) {
    if (!f_.caseVariants || Chance(70)) return name;
    if (Chance(50)) {
      for (char& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      return name;
    }
    for (size_t i = 0; i < name.size(); i += 2) name[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[i])));
    return name;
  }

  static std::string Upper(std::string s) {
    for (char& ch : s) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return s;
  }

  static std::string CardPath(const std::string& folderText, const std::string& name) {
    std::string p;
    for (char ch : folderText) p += ch == '\\' ? '/' : ch;
    while (!p.empty() && p.front() == '/') p.erase(0, 1);
    return p + "/" + name;
  }

  std::string Title(MediaKind kind) {
    std::string t = std::string(1, "imv"[KindIndex(kind)]) + std::to_string(++titles_);
    if (Chance(20)) t += "\x83\x81\x83\x8d";  // "メロ" in CP932
    return t;
  }

  void Kind(CaseSpec& c, MediaKind kind) {
    const KindProfile& kp = kProfile.Kind(kind);
    if (Chance(15)) {  // nothing of this kind on the card, not even its folders
      if (Chance(40)) {  // only its empty content folder
        std::string folder = CardPath(kp.contentFolder, "");
        while (!folder.empty() && folder.back() == '/') folder.pop_back();
        c.card.folders.push_back(folder);
      }
      return;
    }
    const int groups = big_ && kind != MediaKind::Movie && Chance(30) ? 2 : 1;
    std::set<int> numbersUsed;
    std::map<int, std::set<std::string>> namesInGroup;  // upper-cased names per group folder
    for (int g = 0; g < groups; ++g) {
      TableSpec t;
      t.kind = kind;
      t.group = g;
      const std::string folder = kProfile.GroupFolderText(kind, g);
      int n = Int(0, 5);
      if (big_ && g == 0 && groups == 2) n = 64;
      for (int i = 0; i < n; ++i) {
        int number;
        do number = Int(1, big_ ? 140 : 12); while (numbersUsed.count(number) && numbersUsed.size() < 100);
        numbersUsed.insert(number);
        std::string ext = kp.extensions[static_cast<size_t>(Int(0, static_cast<int>(kp.extensions.size()) - 1))].ext;
        if (f_.oddExtensions && Chance(5)) ext = kind == MediaKind::Image ? ".BMP" : kind == MediaKind::Melody ? ".WAV" : ".AVI";
        const std::string name = Spelled(kProfile.ContentFileName(kind, number, ext));
        if (namesInGroup[g].count(Upper(name))) continue;
        namesInGroup[g].insert(Upper(name));
        t.records.push_back({name, Title(kind)});
        if (!Chance(8)) c.card.files[CardPath(folder, name)] = Bytes(std::string("card-") + KindWord(kind));
      }
      if (f_.shared && !t.records.empty() && Chance(15)) {
        const RecordSpec& other = t.records[static_cast<size_t>(Int(0, static_cast<int>(t.records.size()) - 1))];
        t.records.insert(t.records.begin() + Int(0, static_cast<int>(t.records.size())),
                         RecordSpec{other.name, Title(kind)});
      }
      c.card.tables.push_back(std::move(t));
      // Files no table lists, under names an add or a renumbering may choose.
      const int unlisted = f_.unlisted ? Int(0, 3) : 0;
      for (int u = 0; u < unlisted; ++u) {
        std::string name;
        const int shape = Int(0, 9);
        if (shape == 0) name = "readme.txt";
        else if (shape == 1 && f_.parkedLeftovers) name = kProfile.ContentFileName(kind, Int(1, 6), kp.extensions[0].ext) + "_";
        else name = Spelled(kProfile.ContentFileName(kind, Int(1, 8), kp.extensions[static_cast<size_t>(Int(0, static_cast<int>(kp.extensions.size()) - 1))].ext));
        if (namesInGroup[g].count(Upper(name))) continue;
        namesInGroup[g].insert(Upper(name));
        c.card.files[CardPath(folder, name)] = Bytes(std::string("unlisted-") + KindWord(kind));
      }
    }
    // Files the user may add.
    static const std::vector<std::vector<std::string>> kExts = {
        {".jpg", ".JPG", ".gif", ".Jpg", ".GIF"}, {".mld", ".MID", ".smf", ".mid", ".MLD"}, {".3gp", ".MP4", ".asf", ".3GP"}};
    static const std::vector<std::string> kOdd = {".jpeg", ".JPEG", "", ".txt", ".mid", ".3g2"};
    const int adds = Int(0, 3);
    for (int a = 0; a < adds; ++a) {
      const auto& exts = kExts[static_cast<size_t>(KindIndex(kind))];
      std::string ext = exts[static_cast<size_t>(Int(0, static_cast<int>(exts.size()) - 1))];
      if (f_.oddExtensions && Chance(15)) ext = kOdd[static_cast<size_t>(Int(0, static_cast<int>(kOdd.size()) - 1))];
      const std::string name = std::string(KindWord(kind)) + " " + std::to_string(++serial_) + ext;
      c.pcFiles[name] = Bytes("pc");
      pending_[KindIndex(kind)].push_back(name);
    }
  }

  EditSpec Edit(const CaseSpec&) {
    EditSpec e;
    e.kind = kListKinds[static_cast<size_t>(Int(0, 2))];
    auto& pending = pending_[KindIndex(e.kind)];
    const int type = Int(0, 99);
    if (type < 25 && !pending.empty()) {
      e.type = EditSpec::Type::Add;
      e.text = pending.front();
      pending.erase(pending.begin());
      return e;
    }
    e.row = Int(0, 7);
    if (type < 45) e.type = EditSpec::Type::Delete;
    else if (type < 60) e.type = EditSpec::Type::Up;
    else if (type < 75) e.type = EditSpec::Type::Down;
    else if (type < 90) e.type = EditSpec::Type::Renumber;
    else {
      e.type = EditSpec::Type::Title;
      e.text = "new title " + std::to_string(++titles_);
      if (Chance(20)) e.text += std::string(60, 'x');  // cut to 64 bytes
    }
    return e;
  }

  std::mt19937_64 rng_;
  Features f_;
  bool big_;
  int serial_ = 0;
  int titles_ = 0;
  std::array<std::vector<std::string>, 3> pending_;
};

// ------------------------------------------------------------ the model

struct ModelItem {
  std::string title;
  std::string bytes;
  std::string file;  // the file it started from: a card path, or "PC/name"
};

using Lists = std::array<std::vector<ModelItem>, 3>;

struct Model {
  Lists before;  // what the load of the card shows
  Lists after;   // what the user left
  std::set<std::string> deletedFiles;  // files of items the user deleted
};

std::string JoinCard(const std::string& folderText, const std::string& name) {
  std::string p;
  for (char ch : folderText) p += ch == '\\' ? '/' : ch;
  while (!p.empty() && p.front() == '/') p.erase(0, 1);
  if (!p.empty() && p.back() != '/') p += '/';
  return p + name;
}

// What a load of the freshly built card shows: records in table order whose
// file exists under exactly the name the record gives.
// A file of the card by its path, in any case of its letters where the
// volume takes them for one.
std::map<std::string, std::string>::const_iterator FileAt(const CardSpec& card, const std::string& path,
                                                          bool foldsCase) {
  const auto exact = card.files.find(path);
  if (exact != card.files.end() || !foldsCase) return exact;
  return std::find_if(card.files.begin(), card.files.end(),
                      [&](const auto& f) { return CardNameKey(f.first) == CardNameKey(path); });
}

Lists ListsOfCard(const CardSpec& card, bool foldsCase) {
  Lists lists;
  std::vector<const TableSpec*> tables;
  for (const TableSpec& t : card.tables) tables.push_back(&t);
  std::stable_sort(tables.begin(), tables.end(), [](const TableSpec* a, const TableSpec* b) {
    return a->kind != b->kind ? KindIndex(a->kind) < KindIndex(b->kind) : a->group < b->group;
  });
  for (const TableSpec* t : tables)
    for (const RecordSpec& r : t->records) {
      std::string path = JoinCard(kProfile.GroupFolderText(t->kind, t->group), r.name);
      auto f = FileAt(card, path, foldsCase);
      // A record whose file is missing has it under its parked name when the
      // card holds one: only a commit cut short between a cycle's renames
      // leaves "_" names, and then the parked file is the record's.
      if (f == card.files.end()) f = FileAt(card, path += "_", foldsCase);
      if (f != card.files.end()) lists[static_cast<size_t>(KindIndex(t->kind))].push_back({r.title, f->second, path});
    }
  return lists;
}

// ------------------------------------------------------------ file operations

// The file-operation layer of the commit under test. Counts the operations
// that change something, as FaultyFileOps does; at the chosen one it fails
// (and, FailFrom, every later one too), or does half of it and then the
// card is gone (Torn: a copy or a write leaves the first half of its bytes,
// a rename or a removal happens but is reported as failed). Flushing is left
// out: the process dies here, the machine does not.
class CaseOps : public FileOps {
 public:
  CaseOps(FileOps& inner, FaultMode mode, long at) : inner_(inner), mode_(mode), at_(at) {}
  long changes() const { return changes_; }
  bool hit() const { return hit_; }

  bool Exists(const fs::path& p) override { return inner_.Exists(p); }
  bool IsFolder(const fs::path& p) override { return inner_.IsFolder(p); }
  OpResult MakeFolders(const fs::path& p) override {
    return Change([&] { return inner_.MakeFolders(p); }, [&] { inner_.MakeFolders(p); });
  }
  OpResult Remove(const fs::path& p) override {
    Trace("remove", p);
    return Change([&] { return inner_.Remove(p); }, [&] { inner_.Remove(p); });
  }
  OpResult Rename(const fs::path& from, const fs::path& to) override {
    Trace("rename", from, to);
    return Change([&] { return inner_.Rename(from, to); }, [&] { inner_.Rename(from, to); });
  }
  OpResult Replace(const fs::path& from, const fs::path& to) override {
    return Change([&] { return inner_.Replace(from, to); }, [&] { inner_.Replace(from, to); });
  }
  OpResult CopyFile(const fs::path& from, const fs::path& to) override {
    Trace("copy", from, to);
    if (mode_ == FaultMode::NoSpace && ++copies_ == at_) {
      // What fitted of it stays until the commit takes it away.
      hit_ = true;
      std::string bytes;
      inner_.ReadFile(from, bytes);
      testcard::WriteBytes(to, std::string_view(bytes).substr(0, bytes.size() / 3));
      return OpResult::Fail("write: No space left on device");
    }
    return Change([&] { return inner_.CopyFile(from, to); },
                  [&] {
                    std::string bytes;
                    inner_.ReadFile(from, bytes);
                    testcard::WriteBytes(to, std::string_view(bytes).substr(0, bytes.size() / 2));
                  });
  }
  OpResult WriteFile(const fs::path& p, std::string_view bytes) override {
    Trace("write", p, {}, p.filename() == "fenmora.jnl.tmp" ? bytes : std::string_view());
    return Change([&] { return inner_.WriteFile(p, bytes); },
                  [&] { testcard::WriteBytes(p, bytes.substr(0, bytes.size() / 2)); });
  }
  OpResult Flush(const fs::path&) override { return OpResult::Ok(); }
  OpResult SyncFolder(const fs::path&) override { return OpResult::Ok(); }
  OpResult ReadFile(const fs::path& p, std::string& bytes) override { return inner_.ReadFile(p, bytes); }
  OpResult Symlink(const fs::path& target, const fs::path& link) override {
    return Change([&] { return inner_.Symlink(target, link); }, [] {});
  }
  OpResult ListFolder(const fs::path& folder, std::vector<std::string>& names) override {
    return inner_.ListFolder(folder, names);
  }

 private:
  // FENMORA_MODEL_TRACE=1 prints every change a case makes (and each journal
  // written), to follow a failing case step by step.
  static void Trace(const char* what, const fs::path& p, const fs::path& to = {}, std::string_view journal = {}) {
    static const bool on = std::getenv("FENMORA_MODEL_TRACE") != nullptr;
    if (!on) return;
    std::cout << what << " " << p.filename() << (to.empty() ? "" : " -> " + to.filename().string()) << "\n"
              << journal;
  }

  OpResult Change(const std::function<OpResult()>& whole, const std::function<void()>& half) {
    ++changes_;
    const bool failing = (mode_ == FaultMode::FailFrom && changes_ >= at_) ||
                         (mode_ == FaultMode::FailOnce && changes_ == at_) ||
                         (mode_ == FaultMode::Torn && changes_ >= at_);
    if (!failing) return whole();
    hit_ = true;
    if (mode_ == FaultMode::Torn && changes_ == at_) half();
    return OpResult::Fail("injected failure");
  }

  FileOps& inner_;
  FaultMode mode_;
  long at_;
  long changes_ = 0;
  long copies_ = 0;
  bool hit_ = false;
};

// ------------------------------------------------------------ questions

// Answers what a user who wants every edit carried out answers: load the
// folder, add the oversized file, finish (or, when the case says so, undo) an
// interrupted update. Messages are kept; any other question is a finding.
enum class Asked { NotRemovable, Oversize, Other };

class ModelAnswers {
 public:
  explicit ModelAnswers(bool revert) : revert_(revert) {}
  Prompts::Answer Answer(Asked asked, Prompts::Buttons buttons, const std::string& text) {
    using A = Prompts::Answer;
    if (asked == Asked::NotRemovable) return A::Yes;
    if (asked == Asked::Oversize) return A::Yes;
    if (buttons == Prompts::Buttons::Ok) {
      messages.push_back(text);
      return A::Ok;
    }
    if (buttons == Prompts::Buttons::YesNo && text.rfind(texts::kInterruptedCommit, 0) == 0)
      return revert_ ? A::No : A::Yes;  // finish the update (Yes) or undo it (No)
    unexpected.push_back(text);
    return buttons == Prompts::Buttons::YesNo ? A::No : A::Cancel;
  }
  std::vector<std::string> messages;
  std::vector<std::string> unexpected;

 private:
  bool revert_;
};

// The questions reach the answers with their identity where the program gives
// one, by their text where it does not.
template <class P, class = void>
class PromptsFor : public P, public ModelAnswers {
 public:
  using ModelAnswers::ModelAnswers;
  typename P::Answer Ask(typename P::Icon, typename P::Buttons buttons, const std::string& text) override {
    const Asked asked = text == texts::kNotRemovable              ? Asked::NotRemovable
                        : text.rfind(texts::kOversize, 0) == 0 ? Asked::Oversize
                                                               : Asked::Other;
    return Answer(asked, buttons, text);
  }
};

template <class P>
class PromptsFor<P, std::void_t<typename P::Question>> : public P, public ModelAnswers {
 public:
  using ModelAnswers::ModelAnswers;
  typename P::Answer Ask(typename P::Question question, typename P::Icon, typename P::Buttons buttons,
                         const std::string& text) override {
    const Asked asked = question == P::Question::NotRemovable ? Asked::NotRemovable
                        : question == P::Question::Oversize   ? Asked::Oversize
                                                              : Asked::Other;
    return Answer(asked, buttons, text);
  }
};

using ModelPrompts = PromptsFor<Prompts>;

// ------------------------------------------------------------ one run

// How often the cases took a backup beside a cut and restored it (said with
// the run's summary, so that a change that leaves them out is seen).
long backupsTaken = 0, restoresRun = 0;

struct Finding {
  std::string kind;    // the category, for counting
  std::string detail;  // what exactly
};

class CaseRun {
 public:
  CaseRun(const CaseSpec& c, const fs::path& root, const fs::path& pc) : c_(c), root_(root), pc_(pc) {}

  std::vector<Finding> Run() {
    Build();
    model_.before = ListsOfCard(c_.card, testcard::FoldsCase(root_));
    model_.after = model_.before;
    initial_ = testcard::SnapshotOf(root_);
    const auto pcBefore = testcard::SnapshotOf(pc_);

    CardSession s;
    if (!Load(s, "first load")) return findings_;
    // The load must show what the tables list; otherwise the rest of the case
    // would only repeat the difference.
    Compare(s, model_.before, "the first load");
    if (!findings_.empty()) {
      for (Finding& f : findings_) f.kind = "load: " + f.kind;
      return findings_;
    }
    Edit(s);

    CommitResult result;
    bool faulted = false;
    // The card taken away is simulated on the same file system (its folder
    // renamed, an empty one in its place), so only a card with tables can be
    // told from the empty folder left; a real unmount is a device change too.
    const bool hasTables = !c_.card.tables.empty();
    if (c_.fault == FaultMode::Unmount && hasTables) {
      faulted = Unmounted(s);
    } else {
      CaseOps ops(real_, c_.fault == FaultMode::Unmount ? FaultMode::None : c_.fault, c_.faultAt);
      const CommitPlan plan = PlanCommit(s);
      result = ExecuteCommit(s, plan, ops, progress_);
      faulted = ops.hit();
      if (!faulted && !result.Ok())
        Add("commit failed without a fault", CommitReport(result));
      if (faulted && result.Ok()) Add("failure reported as success", "the commit hit an injected failure and said it was done");
    }
    bool journalLeft = fs::exists(root_ / "fenmora.jnl");
    if (faulted) BackupBesideTheCut();
    if (faulted) {
      // The user loads the card again and commits what the load shows; the
      // card may fail again during that commit, and then the user once more.
      bool again = true;
      for (int attempt = 0; again && attempt < 2; ++attempt) {
        const bool cutAgain = attempt == 0 && c_.recoveryFaultAt > 0;
        CardSession session;
        // (Finishing or undoing runs as the card is loaded: the card may fail
        // there too.)
        CaseOps ops(real_, cutAgain ? FaultMode::FailFrom : FaultMode::None, c_.recoveryFaultAt);
        if (!Load(session, attempt == 0 ? "load after the cut" : "load after the second cut", &ops)) return findings_;
        const CommitPlan plan = PlanCommit(session);
        const CommitResult r = ExecuteCommit(session, plan, ops, progress_);
        again = ops.hit();
        if (!r.Ok() && !again) Add("recovery commit failed", CommitReport(r));
        // (A journal this commit leaves is its own: finishing it gives the
        // lists this load showed, whichever they were.)
      }
    }
    CardSession final;
    if (!Load(final, "final load")) return findings_;
    // Without a fault the card must show the edits; after one, each kind its
    // edits or (when the cut came before anything was journaled) its lists
    // as they were.
    // Undone, the update leaves each kind as it was (or, once it had begun
    // removing files, as the user left it).
    const bool eitherAllowed = faulted && (!journalLeft || c_.revert);
    if (faulted) {
      // A copy that failed on its own was reported: its item may be missing
      // when its bytes are still where the user has them, on the computer or
      // listed under the other record that shares its file. A file left
      // unlisted on the card is no such case. After a cut, an added file whose
      // copy was not complete on the card is left out too: recovery never
      // reads the computer on the journal's word.
      const bool once = c_.fault == FaultMode::FailOnce;
      const Lists shown = Shown(final);
      for (size_t k = 0; k < 3; ++k) {
        auto shows = [&](const ModelItem& i) {
          return std::any_of(shown[k].begin(), shown[k].end(), [&](const ModelItem& s) { return s.bytes == i.bytes; });
        };
        auto& after = model_.after[k];
        after.erase(std::remove_if(after.begin(), after.end(),
                                   [&](const ModelItem& i) {
                                     const bool itself = std::any_of(shown[k].begin(), shown[k].end(), [&](const ModelItem& s) {
                                       return s.bytes == i.bytes && s.title == i.title;
                                     });
                                     return !itself && (i.file.rfind("PC/", 0) == 0 ? !shows(i) : once && shows(i));
                                   }),
                    after.end());
      }
    }
    Check(final, eitherAllowed);
    if (testcard::SnapshotOf(pc_) != pcBefore) Add("computer file changed", "a file the user added was changed or removed");
    if (backup_) RestoreTheBackup();
    return findings_;
  }

 private:
  void Add(const std::string& kind, const std::string& detail) { findings_.push_back({kind, detail}); }

  void Build() {
    for (const auto& [path, bytes] : c_.card.files) testcard::WriteBytes(root_ / path, bytes);
    for (const std::string& f : c_.card.folders) fs::create_directories(root_ / f);
    for (const TableSpec& t : c_.card.tables) {
      const int number = HandsetProfile::TableNumberOfGroup(t.kind, t.group);
      const std::string folder = kProfile.GroupFolderText(t.kind, t.group);
      const TableHeader h = ComposeTableHeader(folder, static_cast<int>(t.records.size()), number,
                                               HandsetProfile::TablePrefix(t.kind));
      std::string bytes(h.begin(), h.end());
      for (const RecordSpec& r : t.records) {
        const auto f = c_.card.files.find(JoinCard(folder, r.name));
        const auto size = f == c_.card.files.end() ? 0u : static_cast<std::uint32_t>(f->second.size());
        const TableRecordBytes rec = ComposeTableRecord(r.name, r.title, "2004:02:14 00:00:00", size);
        bytes.append(rec.begin(), rec.end());
      }
      const std::string tablePath = kProfile.ExpandTablePath(t.kind, number);
      const auto slash = tablePath.rfind('\\');
      testcard::WriteBytes(root_ / JoinCard(tablePath.substr(0, slash), tablePath.substr(slash + 1)), bytes);
    }
    for (const auto& [name, bytes] : c_.pcFiles) testcard::WriteBytes(pc_ / name, bytes);
  }

  bool Load(CardSession& s, const char* what, FileOps* ops = nullptr) {
    ModelPrompts prompts(c_.revert);
    const LoadResult r = ops ? LoadCard(s, root_, prompts, progress_, *ops) : LoadCard(s, root_, prompts, progress_);
    for (const std::string& q : prompts.unexpected) Add("unexpected question", std::string(what) + ": " + q);
    if (!r.Completed()) {
      Add("load failed", what);
      return false;
    }
    return true;
  }

  void Edit(CardSession& s) {
    for (const EditSpec& e : c_.edits) {
      MediaCatalogue& cat = s.Catalogue(e.kind);
      auto& list = model_.after[static_cast<size_t>(KindIndex(e.kind))];
      const int live = static_cast<int>(list.size());
      const bool onItem = e.row >= 1 && e.row <= live;
      bool expected = true, got = true;
      switch (e.type) {
        case EditSpec::Type::Add: {
          ModelPrompts prompts(false);
          const QueueOutcome o = QueueFileForCard(s, e.kind, pc_ / e.text, prompts);
          for (const std::string& q : prompts.unexpected) Add("unexpected question", q);
          // Whether a file is taken is the program's choice; a file it takes
          // must reach the card.
          // Its title is its name without the extension.
          if (o == QueueOutcome::Queued)
            list.push_back({e.text.substr(0, std::min(e.text.rfind('.'), e.text.size())), c_.pcFiles.at(e.text),
                            "PC/" + e.text});
          break;
        }
        case EditSpec::Type::Delete:
          expected = onItem;
          got = DeleteEntry(cat, s.space, e.row).has_value();
          if (onItem) {
            model_.deletedFiles.insert(list[static_cast<size_t>(e.row - 1)].file);
            list.erase(list.begin() + (e.row - 1));
          }
          break;
        case EditSpec::Type::Up:
          expected = onItem && e.row >= 2;
          got = MoveUp(cat, e.row);
          if (expected) std::swap(list[static_cast<size_t>(e.row - 1)], list[static_cast<size_t>(e.row - 2)]);
          break;
        case EditSpec::Type::Down:
          expected = onItem && e.row < live;
          got = MoveDown(cat, e.row);
          if (expected) std::swap(list[static_cast<size_t>(e.row - 1)], list[static_cast<size_t>(e.row)]);
          break;
        case EditSpec::Type::Renumber: Renumber(kProfile, e.kind, cat); break;
        case EditSpec::Type::Title:
          expected = onItem;
          got = ApplyTitle(cat, e.row, e.text);
          if (onItem) list[static_cast<size_t>(e.row - 1)].title = e.text.substr(0, 64);
          break;
      }
      if (expected != got) Add("edit outcome differs", "an edit on row " + std::to_string(e.row) + " of the " + KindWord(e.kind) + " list");
    }
    // A file whose items were all deleted may go; one another item still
    // names may not.
    for (const auto& list : model_.after)
      for (const ModelItem& i : list) model_.deletedFiles.erase(i.file);
  }

  // The card is taken out after the edits, and either the bare mount point
  // stays or another card is put in (the same layout, one table the handset
  // rewrote): the commit must write nothing there and must not say it is
  // done. The first card comes back unchanged.
  bool Unmounted(CardSession& s) {
    fs::path away = root_;
    away += ".away";
    fs::rename(root_, away);
    fs::create_directory(root_);
    const bool other = c_.faultAt % 2 == 0;
    if (other) {
      const std::string otherTable = "PRIVATE/DOCOMO/TABLE/STILL/SUD000.TBL";
      const TableHeader h = ComposeTableHeader("\\PRIVATE\\DOCOMO\\STILL", 1, 0, "SUD");
      std::string bytes(h.begin(), h.end());
      const TableRecordBytes rec = ComposeTableRecord("STIL0001.JPG", "other card", "2004:02:14 00:00:00", 11);
      bytes.append(rec.begin(), rec.end());
      testcard::WriteBytes(root_ / otherTable, bytes);
      testcard::WriteBytes(root_ / "PRIVATE/DOCOMO/STILL/STIL0001.JPG", "other photo");
    }
    const auto before = testcard::SnapshotOf(root_);
    CaseOps ops(real_, FaultMode::None, 0);
    const CommitPlan plan = PlanCommit(s);
    const CommitResult r = ExecuteCommit(s, plan, ops, progress_);
    std::error_code ec;
    std::string names;
    for (fs::recursive_directory_iterator it(root_, ec), end; !ec && it != end; it.increment(ec))
      names += " " + it->path().lexically_relative(root_).generic_string();
    if (other ? testcard::SnapshotOf(root_) != before : !names.empty())
      Add(other ? "wrote onto another card" : "wrote into the bare mount point", names.substr(0, 300));
    if (r.Ok()) Add("failure reported as success", "the commit to a card that was taken away said it was done");
    fs::remove_all(root_);
    fs::rename(away, root_);
    if (testcard::SnapshotOf(root_) != initial_) Add("card changed while away", "the card taken away was changed");
    return true;
  }

  static std::string ReadHost(const fs::path& p) { return testcard::ReadBytes(p); }

  // The lists the tables at root show, each item with its file's bytes.
  static Lists ListsAt(const fs::path& root) {
    Lists lists;
    RealFileOps ops;
    for (MediaKind kind : kListKinds) {
      MediaCatalogue cat;
      LoadResult r;
      LoadKind(kProfile, kind, root, ops, cat, r);
      for (int row = 1; row <= cat.LiveCount(); ++row) {
        const MediaEntry* e = cat.EntryAtRow(row);
        const std::string path = JoinCard(e->sourceFolder, e->sourceName);
        lists[static_cast<size_t>(KindIndex(kind))].push_back({e->title, ReadHost(root / path), path});
      }
    }
    return lists;
  }

  // A backup taken where the commit stopped: refused while the card is
  // between two states (its journal says so), otherwise complete and
  // showing what the card shows, each title on its own bytes.
  void BackupBesideTheCut() {
    const BackupResult b = BackupCard(root_, backups_.path(), std::time(nullptr), real_, progress_);
    const bool between = InspectCardJournal(kProfile, root_, real_).Interrupted();
    if (between && b.complete) Add("backup of a card between two states", b.folder.string());
    if (!between && !b.complete) Add("backup of a whole card refused or failed", BackupReport(b));
    if (!b.complete) return;
    const Lists card = ListsAt(root_), backup = ListsAt(b.folder);
    for (size_t k = 0; k < 3; ++k)
      if (!Same(card[k], backup[k])) Add("backup differs from the card", KindWord(kListKinds[k]));
    backup_ = b.folder;
    ++backupsTaken;
  }

  // The backup taken beside the cut restored onto the card as the case left
  // it, the restore itself cut (in some cases) and finished or undone as the
  // user chooses: the card shows the backup's lists or its own, and every
  // content file it held is still there (a restore deletes nothing).
  void RestoreTheBackup() {
    const Lists want = ListsAt(*backup_), was = ListsAt(root_);
    auto contents = [&] {
      std::multiset<std::string> bytes;
      for (const auto& [path, b] : testcard::SnapshotOf(root_))
        if (path.find("/TABLE/") == std::string::npos && path.rfind("fenmora", 0) != 0) bytes.insert(b);
      return bytes;
    };
    const auto held = contents();
    ++restoresRun;
    RestoreSetup setup = PrepareRestore(*backup_, root_, real_);
    if (!setup.refusal.empty()) {
      Add("restore refused", setup.refusal.front());
      return;
    }
    CaseOps ops(real_, c_.restoreFaultAt > 0 ? FaultMode::FailFrom : FaultMode::None, c_.restoreFaultAt);
    const CommitPlan plan = PlanCommit(setup.session, real_);
    const CommitResult r = ExecuteCommit(setup.session, plan, ops, progress_);
    if (!ops.hit() && !r.Ok()) Add("restore failed without a fault", CommitReport(r));
    CardSession after;
    if (!Load(after, "load after the restore")) return;
    const Lists shown = ListsAt(root_);
    bool same = true, before = true;
    for (size_t k = 0; k < 3; ++k) {
      same = same && Same(shown[k], want[k]);
      before = before && Same(shown[k], was[k]);
    }
    if (!same && !(before && ops.hit())) Add("restore ends in neither the backup's lists nor the card's", "");
    const auto now = contents();
    for (const std::string& b : held)
      if (!now.count(b)) Add("restore lost a file", Short(b));
    if (fs::exists(root_ / "fenmora.jnl")) Add("journal left after the restore", "");
  }

  // The lists a load shows, each item with the bytes of its file.
  Lists Shown(const CardSession& s, std::vector<std::string>* paths = nullptr) {
    Lists lists;
    for (MediaKind kind : kListKinds) {
      const MediaCatalogue& cat = s.Catalogue(kind);
      for (int r = 1; r <= cat.LiveCount(); ++r) {
        const MediaEntry* e = cat.EntryAtRow(r);
        const std::string path = JoinCard(e->sourceFolder, e->sourceName);
        lists[static_cast<size_t>(KindIndex(kind))].push_back({e->title, ReadHost(root_ / path), path});
        if (paths) paths->push_back(path);
      }
    }
    return lists;
  }

  static bool Same(const std::vector<ModelItem>& a, const std::vector<ModelItem>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
      if (a[i].title != b[i].title || a[i].bytes != b[i].bytes) return false;
    return true;
  }

  // What differs between the list shown and the list expected, item by item.
  void Differences(MediaKind kind, const std::vector<ModelItem>& shown, const std::vector<ModelItem>& want,
                   const std::string& when) {
    const std::string where = std::string(" (") + KindWord(kind) + " list, " + when + ")";
    std::map<std::string, std::string> knownBytes;  // bytes -> what they are
    for (const auto& [path, bytes] : c_.card.files) knownBytes[bytes] = path;
    for (const auto& [name, bytes] : c_.pcFiles) knownBytes[bytes] = "PC/" + name;
    bool itemLevel = false;
    for (const ModelItem& w : want) {
      const auto byBytes = std::find_if(shown.begin(), shown.end(), [&](const ModelItem& s) { return s.bytes == w.bytes; });
      const auto byTitle = std::find_if(shown.begin(), shown.end(), [&](const ModelItem& s) { return s.title == w.title; });
      if (byTitle != shown.end() && byTitle->bytes != w.bytes) {
        const auto other = knownBytes.find(byTitle->bytes);
        Add("item shows another file's bytes",
            "\"" + Printable(w.title) + "\" shows " +
                (other != knownBytes.end() ? "the bytes of " + other->second
                                           : "bytes of no known file " + Short(byTitle->bytes)) +
                " instead of " + w.file + where);
        itemLevel = true;
      } else if (byBytes == shown.end() && byTitle == shown.end()) {
        Add("item lost from the list", "\"" + Printable(w.title) + "\" (" + w.file + ") is not listed" + where);
        itemLevel = true;
      } else if (byTitle == shown.end()) {
        Add("title lost", "the bytes of " + w.file + " are listed as \"" + Printable(byBytes->title) + "\", not \"" + Printable(w.title) + "\"" + where);
        itemLevel = true;
      }
    }
    for (const ModelItem& s : shown)
      if (std::none_of(want.begin(), want.end(), [&](const ModelItem& w) { return w.title == s.title; })) {
        Add("item listed that should not be", "\"" + Printable(s.title) + "\" (" + s.file + ")" + where);
        itemLevel = true;
      }
    if (!itemLevel) Add("list order differs", std::string(KindWord(kind)) + " list" + where);
  }

  void Compare(const CardSession& s, const Lists& want, const std::string& when) {
    const Lists shown = Shown(s);
    for (MediaKind kind : kListKinds) {
      const size_t k = static_cast<size_t>(KindIndex(kind));
      if (!Same(shown[k], want[k])) Differences(kind, shown[k], want[k], when);
    }
  }

  void Check(const CardSession& s, bool eitherAllowed) {
    std::vector<std::string> listedPaths;
    const Lists shown = Shown(s, &listedPaths);
    std::array<bool, 3> kindBefore{};
    for (MediaKind kind : kListKinds) {
      const size_t k = static_cast<size_t>(KindIndex(kind));
      if (Same(shown[k], model_.after[k])) continue;
      if (eitherAllowed && Same(shown[k], model_.before[k])) {
        kindBefore[k] = true;
        continue;
      }
      Differences(kind, shown[k], model_.after[k], "after the commit");
    }
    const bool anyAfter = !(kindBefore[0] && kindBefore[1] && kindBefore[2]);

    // Every file now on the card.
    const auto now = testcard::SnapshotOf(root_);
    std::multiset<std::string> bytesNow;
    for (const auto& [path, bytes] : now) bytesNow.insert(bytes);
    std::set<std::string> unlistedAtStart, listedAtStart;
    for (const auto& list : model_.before)
      for (const ModelItem& i : list) listedAtStart.insert(i.file);
    for (const auto& [path, bytes] : c_.card.files)
      if (!listedAtStart.count(path)) unlistedAtStart.insert(path);

    // No bytes lost but those of files the user deleted.
    for (const auto& [path, bytes] : c_.card.files) {
      if (bytesNow.count(bytes)) continue;
      if (model_.deletedFiles.count(path) && anyAfter) continue;
      Add("bytes lost", (unlistedAtStart.count(path) ? "unlisted file " : "file ") + path + " " + Short(bytes) +
                            " is nowhere on the card");
    }

    // Nothing left behind: every file is a table, a listed item's file, a
    // file no table listed (where it was or moved aside), or a file the user
    // kept whose kind shows its old lists.
    std::multiset<std::string> allowedBytes;
    for (const std::string& p : unlistedAtStart) allowedBytes.insert(c_.card.files.at(p));
    std::set<std::string> listed(listedPaths.begin(), listedPaths.end());
    std::map<std::string, std::string> knownBytes;
    for (const auto& [path, bytes] : c_.card.files) knownBytes[bytes] = path;
    for (const auto& [name, bytes] : c_.pcFiles) knownBytes[bytes] = "PC/" + name;
    for (const auto& [path, bytes] : now) {
      if (path.rfind("PRIVATE/DOCOMO/TABLE/", 0) == 0 && path.size() > 4 &&
          path.compare(path.size() - 4, 4, ".TBL") == 0)
        continue;
      if (listed.count(path)) continue;
      const auto a = allowedBytes.find(bytes);
      if (a != allowedBytes.end()) {
        allowedBytes.erase(a);
        continue;
      }
      const auto start = c_.card.files.find(path);
      // A file of a list shown as it was; or a deleted item's file whose
      // removal failed on its own and was reported.
      if (start != c_.card.files.end() && start->second == bytes &&
          (!model_.deletedFiles.count(path) || !anyAfter || c_.fault == FaultMode::FailOnce))
        continue;
      // The same, when the deleted file had first been moved out of the way
      // of a name the commit needed (files moved aside are never removed).
      if (const auto aside = path.rfind(kAsideSuffix); aside != std::string::npos && c_.fault == FaultMode::FailOnce) {
        const auto was = c_.card.files.find(path.substr(0, aside));
        if (was != c_.card.files.end() && was->second == bytes && model_.deletedFiles.count(was->first)) continue;
      }
      // A journal that did not fit the card any more, kept under a name
      // that says so (never acted on) and in the journal's own form.
      if ((path.rfind("fenmora-stale", 0) == 0 || path.rfind("fenmora-damaged", 0) == 0) &&
          bytes.rfind("FENMORA-JOURNAL", 0) == 0)
        continue;
      const auto known = knownBytes.find(bytes);
      std::string why = known == knownBytes.end() ? "bytes of no known file " + Short(bytes)
                        : model_.deletedFiles.count(known->second) ? "the bytes of deleted " + known->second
                                                                    : "a second copy of " + known->second;
      Add("file left behind", path + ": " + why);
    }

    // A FAT card holds no two names that differ only in case.
    std::map<std::string, std::set<std::string>> foldersNow, foldersThen;
    auto fold = [](const std::string& path) {
      std::string upper = path;
      for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      return upper;
    };
    std::set<std::string> clashesThen;
    {
      std::map<std::string, int> seen;
      for (const auto& [path, bytes] : initial_) ++seen[fold(path)];
      for (const auto& [key, n] : seen) if (n > 1) clashesThen.insert(key);
    }
    std::map<std::string, std::vector<std::string>> seenNow;
    for (const auto& [path, bytes] : now) seenNow[fold(path)].push_back(path);
    for (const auto& [key, paths] : seenNow)
      if (paths.size() > 1 && !clashesThen.count(key))
        Add("names that are one file on a FAT card", paths[0] + " and " + paths[1]);
  }

  const CaseSpec& c_;
  fs::path root_, pc_;
  Model model_;
  RealFileOps real_;
  SilentProgress progress_;
  std::map<std::string, std::string> initial_;
  std::vector<Finding> findings_;
  testcard::TempFolder backups_{"fenmora-model-backup"};
  std::optional<fs::path> backup_;
};

// ------------------------------------------------------------ driving

fs::path ScratchBase();

// Cards go where FENMORA_TEST_CARD_DIR says (a real exFAT volume, say),
// otherwise into memory when the machine has a tmpfs at /dev/shm: thousands of
// small cards are built and thrown away.
fs::path CardBase() {
  if (const char* dir = std::getenv("FENMORA_TEST_CARD_DIR"); dir && *dir) return dir;
  return ScratchBase();
}

fs::path ScratchBase() {
  std::error_code ec;
  if (fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0) return "/dev/shm";
  return fs::temp_directory_path();
}

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::strtoull(v, nullptr, 10) : fallback;
}

std::vector<Finding> RunCase(const CaseSpec& c, const fs::path& root, const fs::path& pc) {
  std::error_code ec;
  fs::remove_all(root, ec);
  fs::remove_all(pc, ec);
  fs::create_directories(root);
  fs::create_directories(pc);
  return CaseRun(c, root, pc).Run();
}

bool HasKind(const std::vector<Finding>& f, const std::string& kind) {
  return std::any_of(f.begin(), f.end(), [&](const Finding& x) { return x.kind == kind; });
}

// Makes a failing case smaller while it still shows the same kind of
// finding: edits, computer files, records, files and whole tables left out
// one at a time, the fault moved earlier.
CaseSpec Shrink(CaseSpec c, const std::string& kind, const fs::path& root, const fs::path& pc) {
  auto fails = [&](const CaseSpec& t) { return HasKind(RunCase(t, root, pc), kind); };
  if (c.fault != FaultMode::None) {
    CaseSpec t = c;
    t.fault = FaultMode::None;
    if (fails(t)) c = t;
  }
  if (c.recoveryFaultAt > 0) {
    CaseSpec t = c;
    t.recoveryFaultAt = 0;
    if (fails(t)) c = t;
  }
  for (bool progress = true; progress;) {
    progress = false;
    for (size_t i = 0; i < c.edits.size(); ++i) {
      CaseSpec t = c;
      t.edits.erase(t.edits.begin() + static_cast<long>(i));
      if (fails(t)) { c = t; progress = true; --i; }
    }
    for (auto it = c.pcFiles.begin(); it != c.pcFiles.end();) {
      const std::string name = it->first;
      if (std::any_of(c.edits.begin(), c.edits.end(), [&](const EditSpec& e) { return e.text == name; })) { ++it; continue; }
      CaseSpec t = c;
      t.pcFiles.erase(name);
      if (fails(t)) { c = t; progress = true; it = c.pcFiles.upper_bound(name); } else ++it;
    }
    for (size_t ti = 0; ti < c.card.tables.size(); ++ti) {
      for (size_t ri = 0; ri < c.card.tables[ti].records.size(); ++ri) {
        CaseSpec t = c;
        t.card.tables[ti].records.erase(t.card.tables[ti].records.begin() + static_cast<long>(ri));
        if (fails(t)) { c = t; progress = true; --ri; }
      }
    }
    for (size_t ti = 0; ti < c.card.tables.size(); ++ti) {
      CaseSpec t = c;
      t.card.tables.erase(t.card.tables.begin() + static_cast<long>(ti));
      if (fails(t)) { c = t; progress = true; --ti; }
    }
    for (auto it = c.card.files.begin(); it != c.card.files.end();) {
      const std::string path = it->first;
      CaseSpec t = c;
      t.card.files.erase(path);
      if (fails(t)) { c = t; progress = true; it = c.card.files.upper_bound(path); } else ++it;
    }
    while (c.faultAt > 1) {
      CaseSpec t = c;
      --t.faultAt;
      if (!fails(t)) break;
      c = t;
      progress = true;
    }
  }
  return c;
}

struct RunSettings {
  std::uint64_t seed = 20261207;
  std::uint64_t cases = 300;  // a second or two in make test; make fuzz runs many more
  Features features;
  bool big = false;  // cards with more than 64 items of a kind now and then
};

// Runs the cases; returns the report of the first failing one (shrunk), or
// "" when every case passed. In survey mode every case runs and the report
// counts the findings by kind, with the smallest example of each.
std::string RunCases(const RunSettings& settings, bool survey) {
  const fs::path root = CardBase() / ("fenmora-model-" + std::to_string(::getpid()));
  const fs::path pc = ScratchBase() / ("fenmora-model-pc-" + std::to_string(::getpid()));
  std::map<std::string, std::pair<int, CaseSpec>> byKind;
  std::map<std::string, std::string> exampleDetail;
  std::string report;
  for (std::uint64_t i = 0; i < settings.cases; ++i) {
    const std::uint64_t seed = settings.seed + i;
    Draw draw(seed, settings.features, settings.big && seed % 5 == 4);
    const CaseSpec c = draw.Case(seed);
    const std::vector<Finding> f = RunCase(c, root, pc);
    if (f.empty()) continue;
    if (!survey) {
      const CaseSpec small = Shrink(c, f.front().kind, root, pc);
      const std::vector<Finding> again = RunCase(small, root, pc);
      std::ostringstream o;
      o << "case " << i << " of seed " << settings.seed << " fails: " << f.front().kind << "\n"
        << "smallest reproduction found (run it alone with FENMORA_MODEL_SEED=" << seed
        << " FENMORA_MODEL_CASES=1" << (settings.big ? " FENMORA_MODEL_BIG=1" : "") << "):\n"
        << Describe(small) << "findings:\n";
      for (const Finding& x : again) o << "  " << x.kind << ": " << x.detail << "\n";
      report = o.str();
      break;
    }
    if (EnvNumber("FENMORA_MODEL_LIST", 0) != 0)
      for (const Finding& x : f) std::cout << "seed " << seed << ": " << x.kind << ": " << x.detail << "\n";
    std::set<std::string> kinds;
    for (const Finding& x : f) kinds.insert(x.kind);
    for (const std::string& k : kinds) {
      auto& [n, example] = byKind[k];
      if (n++ == 0 || c.edits.size() + c.card.files.size() < example.edits.size() + example.card.files.size()) {
        example = c;
        for (const Finding& x : f) if (x.kind == k) { exampleDetail[k] = x.detail; break; }
      }
    }
  }
  if (survey && !byKind.empty()) {
    std::ostringstream o;
    o << "findings in " << settings.cases << " cases from seed " << settings.seed << ":\n";
    for (auto& [k, v] : byKind) {
      const CaseSpec small = Shrink(v.second, k, root, pc);
      std::string detail = exampleDetail[k];
      for (const Finding& x : RunCase(small, root, pc)) if (x.kind == k) { detail = x.detail; break; }
      o << "== " << k << ": " << v.first << " cases; smallest example:\n" << Describe(small) << "  -> " << detail << "\n";
    }
    report = o.str();
  }
  std::error_code ec;
  fs::remove_all(root, ec);
  fs::remove_all(pc, ec);
  return report;
}

RunSettings FromEnvironment(RunSettings s) {
  s.seed = EnvNumber("FENMORA_MODEL_SEED", s.seed);
  s.cases = EnvNumber("FENMORA_MODEL_CASES", s.cases);
  s.big = s.big || EnvNumber("FENMORA_MODEL_BIG", 0) != 0;
  return s;
}

void Expect(const RunSettings& settings) {
  const auto start = std::chrono::steady_clock::now();
  const std::string report = RunCases(settings, EnvNumber("FENMORA_MODEL_SURVEY", 0) != 0);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::cout << settings.cases << " cases from seed " << settings.seed << " in " << seconds << " s (" << backupsTaken
            << " backups taken beside a cut, " << restoresRun << " restored onto the card)\n";
  if (!report.empty()) ADD_FAILURE() << report;
}

// Cards and faults today's commit is built for: listed files only, names as
// the handset writes them, every record its own file, the handset's own
// extensions, operations that fail whole.
TEST(CardModel, PlainCardsSurviveEveryCut) {
  RunSettings s;
  s.features.unlisted = s.features.caseVariants = s.features.shared = s.features.oddExtensions =
      s.features.parkedLeftovers = s.features.unmount = s.features.tornOperations = false;
  Expect(FromEnvironment(s));
}

// Everything a card and a user can bring: files no table lists, names in any
// case, shared records, odd extensions, missing folders, the card taken away,
// a process that dies in the middle of an operation.
TEST(CardModel, HostileCardsSurviveEveryCut) {
  RunSettings s;
  s.big = true;
  Expect(FromEnvironment(s));
}

}  // namespace
}  // namespace fenmora
