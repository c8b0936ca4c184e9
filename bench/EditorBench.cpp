// The editor's views on generated documents of 50 triggers (2,000
// instructions) and 5,000 triggers (200,000), on Qt's offscreen platform:
// opening a file until the views are built, selecting a trigger, selecting
// the one trigger of 200 instructions (its tree built), and the edits a user
// makes all the time (a flag click, a rename, New trigger, the first key of
// a typing run, a drag, Undo, Redo, pasting a trigger), views and painting
// included. An edit on the large document may cost at most 1.5 times what it
// costs on the small one, and at most one frame (16 ms); opening at most the
// reading alone and 50 ms. CState::Clone, what an undo step cost when each
// copied the document, is shown for comparison.

#include "gui/mainframe/MainFrame.h"
#include "gui/views/CategoriesView.h"
#include "gui/views/CommentView.h"
#include "gui/views/InstructionView.h"
#include "gui/views/ScriptPreview.h"
#include "gui/views/TextStepEdit.h"

#include "code/CodeTrigger.h"
#include "code/State.h"
#include "document/ApplicationDocument.h"

#include "BenchLanguage.h"
#include "BenchSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QKeyEvent>
#include <QTreeWidget>

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <map>
#include <memory>

namespace {

using namespace bram;

struct Editor {
    std::string file;
    std::unique_ptr<CApplicationDocument> document;
    std::unique_ptr<gui::CMainFrame> frame;
    gui::CCategoriesView* tree = nullptr;
    gui::CCommentView* comment = nullptr;
    gui::CInstructionView* instructions = nullptr;
};

const CModule& Language()
{
    static const CModule* module = CreateModuleFromXml("bench", bench::kLanguage);
    return *module;
}

std::string Folder() { return QDir::tempPath().toStdString() + "/brambleton-editor-bench-"; }

// Trigger_0 grows to 200 instructions: copies of its own top-level ones.
void Lengthen(CCodeTrigger& trigger)
{
    CBlock* block = trigger.GetBlock(0);
    const std::size_t originals = block->GetChildCount();
    std::size_t instructions = 40;
    for (std::size_t i = 0; instructions < 200; ++i) {
        const CCodeBase* original = block->GetChild(i % originals);
        block->AddChild(original->Clone());
        instructions += 1 + (original->IsContainer() ? original->GetChild(0)->GetChildCount() : 0);
    }
}

// The editors by size; emptied before the application object goes.
std::map<int, std::unique_ptr<Editor>> g_editors;

// The editor with the generated document of that many triggers opened in it.
Editor& EditorOf(int triggers)
{
    std::unique_ptr<Editor>& editor = g_editors[triggers];
    if (!editor) {
        editor = std::make_unique<Editor>();
        editor->file = Folder() + std::to_string(triggers) + ".bdf";
        {
            CApplicationDocument generated;
            generated.NewDocument();
            CCategorySystem& categories = generated.GetCategorySystem();
            CState& state = *generated.GetState();
            bench::FillLargeState(
                Language(), state, *categories.AddCategory("All"), &categories,
                [&](int t, std::uint32_t) { state.GetTrigger(t)->SetComment("Trigger number " + std::to_string(t)); },
                triggers);
            Lengthen(*state.GetTrigger(0));
            generated.SaveDocument(editor->file);
        }
        editor->document = std::make_unique<CApplicationDocument>();
        editor->document->NewDocument();
        editor->frame = std::make_unique<gui::CMainFrame>(
            *editor->document, QString::fromStdString(Folder() + "user.ini"), QDir::tempPath());
        editor->frame->show();
        editor->tree = qobject_cast<gui::CCategoriesView*>(editor->frame->CategoriesPane());
        editor->comment = qobject_cast<gui::CCommentView*>(editor->frame->CommentPane());
        editor->instructions = qobject_cast<gui::CInstructionView*>(editor->frame->InstructionPane());
        editor->frame->OpenFile(QString::fromStdString(editor->file));
    }
    return *editor;
}

// Takes the last step back without keeping it for redo, so that snapshots
// do not pile up and the next step does not pay for dropping a redo branch.
void TakeBack(Editor& editor)
{
    editor.document->RemoveLastHistoryStep();
    editor.document->UpdateAllViews();
    QApplication::processEvents();
}

// What the user waits for includes the layout and painting the action causes.
void Shown() { QApplication::processEvents(); }

QModelIndex TriggerItem(const Editor& editor, int number)
{
    const std::string name = "Trigger_" + std::to_string(number);
    return editor.tree->IndexOf(editor.document->GetCategorySystem().FindTrigger(name).entry);
}

// A new document, its views shown, and the heap settled: freed memory is
// handed back now, not charged to the next large allocation (a round of
// edits and previews leaves much of it).
void StartNew(Editor& editor)
{
    editor.document->NewDocument();
    editor.document->UpdateAllViews();
    Shown();
    ::malloc_trim(0);
}

// Opening from a new document, as a user who starts the editor does: the
// previous document's destruction is no part of it.
void Open(benchmark::State& state, int triggers)
{
    Editor& editor = EditorOf(triggers);
    for (auto _ : state) {
        state.PauseTiming();
        StartNew(editor);
        state.ResumeTiming();
        editor.frame->OpenFile(QString::fromStdString(editor.file));
        Shown();
    }
}

// The data file alone, into the same document as Open, without the views:
// what opening costs before the views. The views catch up untimed.
void Read(benchmark::State& state, int triggers)
{
    Editor& editor = EditorOf(triggers);
    for (auto _ : state) {
        state.PauseTiming();
        StartNew(editor);
        state.ResumeTiming();
        editor.document->OpenDocument(editor.file);
        state.PauseTiming();
        editor.document->UpdateAllViews();
        Shown();
        state.ResumeTiming();
    }
}

void Select(benchmark::State& state, int triggers)
{
    Editor& editor = EditorOf(triggers);
    const int numbers[] = {1, triggers - 2};
    int i = 0;
    for (auto _ : state) {
        editor.tree->setCurrentIndex(TriggerItem(editor, numbers[i++ % 2]));
        Shown();
    }
}

// Selecting the trigger of 200 instructions, coming from another one.
void SelectLong(benchmark::State& state, int triggers)
{
    Editor& editor = EditorOf(triggers);
    for (auto _ : state) {
        state.PauseTiming();
        editor.tree->setCurrentIndex(TriggerItem(editor, 1));
        Shown();
        const QModelIndex lengthened = TriggerItem(editor, 0);
        state.ResumeTiming();
        editor.tree->setCurrentIndex(lengthened);
        Shown();
    }
}

// The last instruction of a trigger dropped onto its first.
void DragDrop(benchmark::State& state, int triggers)
{
    Editor& editor = EditorOf(triggers);
    editor.tree->setCurrentIndex(TriggerItem(editor, 3));
    QTreeView* tree = editor.instructions->Tree();
    const QAbstractItemModel& model = *tree->model();
    for (auto _ : state) {
        state.PauseTiming();
        const QModelIndex block = model.index(0, 0, model.index(0, 0));
        tree->setCurrentIndex(model.index(model.rowCount(block) - 1, 0, block));
        Shown();
        state.ResumeTiming();
        editor.instructions->DropOn(model.index(0, 0, block));
        Shown();
        state.PauseTiming();
        TakeBack(editor);
        state.ResumeTiming();
    }
}

// The Enabled box of the comment view clicked.
void FlagClick(benchmark::State& state, int triggers)
{
    Editor& editor = EditorOf(triggers);
    editor.tree->setCurrentIndex(TriggerItem(editor, 3));
    auto* box = editor.comment->findChild<QCheckBox*>();
    for (auto _ : state) {
        box->click();
        Shown();
        state.PauseTiming();
        TakeBack(editor);
        state.ResumeTiming();
    }
}

// A trigger's label edited in the categories tree.
void Rename(benchmark::State& state, int triggers)
{
    Editor& editor = EditorOf(triggers);
    for (auto _ : state) {
        state.PauseTiming();
        const QModelIndex item = TriggerItem(editor, 3);
        editor.tree->setCurrentIndex(item);
        Shown();
        state.ResumeTiming();
        editor.tree->model()->setData(item, QStringLiteral("Renamed_3"));
        Shown();
        state.PauseTiming();
        TakeBack(editor);
        state.ResumeTiming();
    }
}

// A copied trigger pasted into its category.
void PasteTrigger(benchmark::State& state, int triggers)
{
    Editor& editor = EditorOf(triggers);
    editor.tree->setCurrentIndex(TriggerItem(editor, 3));
    editor.tree->OnCopy();
    for (auto _ : state) {
        editor.tree->OnPaste();
        Shown();
        state.PauseTiming();
        TakeBack(editor);
        editor.tree->setCurrentIndex(TriggerItem(editor, 3));
        state.ResumeTiming();
    }
}

void NewTrigger(benchmark::State& state, int triggers)
{
    Editor& editor = EditorOf(triggers);
    editor.tree->setCurrentIndex(TriggerItem(editor, 3));
    for (auto _ : state) {
        editor.tree->OnNewTrigger();
        Shown();
        state.PauseTiming();
        TakeBack(editor);
        editor.tree->setCurrentIndex(TriggerItem(editor, 3));
        state.ResumeTiming();
    }
}

void Undo(benchmark::State& state, int triggers)
{
    Editor& editor = EditorOf(triggers);
    editor.tree->setCurrentIndex(TriggerItem(editor, 3));
    for (auto _ : state) {
        state.PauseTiming();
        editor.tree->OnNewTrigger();
        Shown();
        state.ResumeTiming();
        editor.document->OnEditUndo();
        Shown();
    }
}

void Redo(benchmark::State& state, int triggers)
{
    Editor& editor = EditorOf(triggers);
    editor.tree->setCurrentIndex(TriggerItem(editor, 3));
    for (auto _ : state) {
        state.PauseTiming();
        editor.tree->OnNewTrigger();
        editor.document->OnEditUndo();
        Shown();
        state.ResumeTiming();
        editor.document->OnEditRedo();
        Shown();
        state.PauseTiming();
        TakeBack(editor);
        state.ResumeTiming();
    }
}

void FirstKey(benchmark::State& state, int triggers)
{
    Editor& editor = EditorOf(triggers);
    editor.tree->setCurrentIndex(TriggerItem(editor, 3));
    gui::CTextStepEdit* text = editor.comment->TextBox();
    for (auto _ : state) {
        state.PauseTiming();
        text->Load(); // ends any run: the next key records a step
        QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        Shown();
        state.ResumeTiming();
        QApplication::sendEvent(text, &key);
        Shown();
        state.PauseTiming();
        TakeBack(editor);
        state.ResumeTiming();
    }
}

void Clone(benchmark::State& state, int triggers)
{
    const Editor& editor = EditorOf(triggers);
    for (auto _ : state) {
        std::unique_ptr<CState> copy = editor.document->GetState()->Clone();
        benchmark::DoNotOptimize(copy.get());
        state.PauseTiming();
        copy.reset();
        state.ResumeTiming();
    }
}

// The script preview dock, shown, after a one-letter change: the current
// trigger's text (its comment), and the whole script (its preamble) when no
// trigger is current.
void Preview(benchmark::State& state, int triggers, bool wholeScript)
{
    Editor& editor = EditorOf(triggers);
    CState& model = *editor.document->GetState();
    CCodeTrigger& trigger = *model.GetTrigger(0);
    model.SetCurrentTrigger(wholeScript ? -1 : static_cast<int>(trigger.GetId()));
    editor.frame->PreviewDock()->show();
    auto* preview = qobject_cast<gui::CScriptPreview*>(editor.frame->PreviewDock()->widget());
    preview->Refresh();
    Shown();
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string letter(1, static_cast<char>('a' + round++ % 26));
        wholeScript ? model.SetPreamble(model.GetPreamble() + letter)
                    : trigger.SetComment(trigger.GetComment() + letter);
        state.ResumeTiming();
        preview->Refresh();
        Shown();
    }
    editor.frame->PreviewDock()->hide();
}
void PreviewTrigger(benchmark::State& state, int triggers) { Preview(state, triggers, false); }
void PreviewScript(benchmark::State& state, int triggers) { Preview(state, triggers, true); }

// What each figure is held to: nothing (reference figures), a quick
// response (16 ms on either document), or an edit (that, and on the large
// document at most 1.5 times the small one's).
enum class ETarget { None, Quick, Edit };

struct Action {
    const char* name;
    void (*run)(benchmark::State&, int);
    ETarget target;
};

const Action kActions[] = {
    {"Open", Open, ETarget::None},
    {"Read", Read, ETarget::None},
    {"Select", Select, ETarget::Quick},
    {"Select200", SelectLong, ETarget::Quick},
    {"FlagClick", FlagClick, ETarget::Edit},
    {"Rename", Rename, ETarget::Edit},
    {"NewTrigger", NewTrigger, ETarget::Edit},
    {"FirstKey", FirstKey, ETarget::Edit},
    {"DragDrop", DragDrop, ETarget::Edit},
    {"Undo", Undo, ETarget::Edit},
    {"Redo", Redo, ETarget::Edit},
    {"PasteTrigger", PasteTrigger, ETarget::Edit},
    {"Clone", Clone, ETarget::None},
    {"PreviewTrigger", PreviewTrigger, ETarget::Quick},
    {"PreviewScript", PreviewScript, ETarget::None},
};

} // namespace

constexpr int kSmall = 50;
constexpr int kLarge = 5000;

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    // Rounds of every action on both documents in turn: the two figures a
    // ratio compares come from the same process state (both editors open, the
    // heap as large) and from the same moments, so that a spell of the
    // machine's other work falls on both. Each round starts by opening the
    // documents again.
    constexpr int kRounds = 7;
    for (int round = 0; round < kRounds; ++round) {
        for (const Action& action : kActions) {
            for (const int triggers : {kSmall, kLarge}) {
                auto* bm = benchmark::RegisterBenchmark(
                    (std::string(action.name) + "/" + std::to_string(triggers)).c_str(), action.run, triggers);
                // Opening is measured once a round: a file of 200,000 instructions takes a while.
                // An edit takes a millisecond or two, so many make a figure the machine's other
                // work hardly moves.
                const bool opening = action.run == Open || action.run == Read;
                bm->Unit(benchmark::kMillisecond)->Iterations(opening ? 1 : 20);
            }
        }
    }
    bench::CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PoolRuns();
    // The generated files are large; they go with the editors.
    for (const auto& [triggers, editor] : g_editors) {
        QFile::remove(QString::fromStdString(editor->file));
    }
    QFile::remove(QString::fromStdString(Folder() + "user.ini"));
    g_editors.clear();
    bench::CTargets targets(reporter.milliseconds);
    const auto key = [](const Action& action, int triggers) {
        return std::string(action.name) + "/" + std::to_string(triggers);
    };
    for (const Action& action : kActions) {
        const std::string small = key(action, kSmall);
        const std::string large = key(action, kLarge);
        if (action.target == ETarget::None) {
            std::printf("%s: %.2f and %s: %.2f ms (median CPU time, for comparison)\n", small.c_str(),
                        reporter.milliseconds[small].median, large.c_str(), reporter.milliseconds[large].median);
            continue;
        }
        targets.Time(small.c_str(), small.c_str(), 16);
        targets.Time(large.c_str(), large.c_str(), 16);
        if (action.target == ETarget::Edit) {
            targets.Ratio((std::string(action.name) + ", 5,000 triggers against 50").c_str(), large.c_str(),
                          small.c_str(), 1.5);
        }
    }
    for (const int triggers : {kSmall, kLarge}) {
        const std::string what = "the views' part of opening " + std::to_string(triggers) + " triggers";
        targets.Value(what.c_str(),
                      reporter.milliseconds["Open/" + std::to_string(triggers)].median -
                          reporter.milliseconds["Read/" + std::to_string(triggers)].median,
                      50, "ms");
    }
    std::fflush(stdout);
    benchmark::Shutdown();
    return targets.Ok() ? 0 : 1;
}
