// The main window on a started sample workspace: menus from the string
// table, keys, panes, enable rules, and the document commands with their
// dialogs answered by the test.

#include "gui/mainframe/MainFrame.h"
#include "gui/dialogs/AboutDialog.h"
#include "gui/dialogs/VariablesDialog.h"
#include "gui/mainframe/RecentFileList.h"
#include "gui/views/CategoriesView.h"
#include "gui/views/InstructionView.h"

#include "GuiTestSupport.h"
#include "base/Paths.h"
#include "code/State.h"
#include "localization/Localization.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>
#include <functional>

namespace bram {
namespace {

using MainFrameTest = test::DocumentTest;

// Items of one menu (or one menu bar) that share a mnemonic, and items
// that name keys in their label besides the keys Qt names for them.
QStringList MisreadItems(const QList<QAction*>& items)
{
    QStringList misread;
    QList<QKeySequence> mnemonics;
    for (const QAction* item : items) {
        const QKeySequence mnemonic = QKeySequence::mnemonic(item->text());
        if (item->text().contains(QLatin1Char('\t')) || (!mnemonic.isEmpty() && mnemonics.contains(mnemonic))) {
            misread << item->text();
        }
        mnemonics << mnemonic;
    }
    return misread;
}

TEST_F(MainFrameTest, EveryMenuItemAndQuestionIsInTheTablesLanguageOrShowsItsKey)
{
    const struct {
        const char* language;
        QString saveQuestion;
    } cases[] = {
        {"en", QStringLiteral("Save changes to Untitled?")},
        {"de", QStringLiteral("\u00c4nderungen an Unbenannt speichern?")},
        {"xx", QStringLiteral("SaveChanges")},
    };
    for (const auto& [language, saveQuestion] : cases) {
        SCOPED_TRACE(language);
        SetLanguage(language);
        document.NewDocument();
        const auto frame = MakeFrame();
        QList<QAction*> items = frame->menuBar()->actions();
        EXPECT_EQ(MisreadItems(items), QStringList());
        for (const QAction* top : frame->menuBar()->actions()) {
            items << top->menu()->actions();
            EXPECT_EQ(MisreadItems(top->menu()->actions()), QStringList());
        }
        for (const QAction* item : items) {
            if (item->isSeparator() || item->objectName().startsWith(QStringLiteral("Recent"))) {
                continue;
            }
            // Without a table ("xx") the keys show; with one, never.
            EXPECT_EQ(item->text().startsWith(QStringLiteral("Menu/")), language == std::string("xx"))
                << item->text().toStdString();
        }
        EXPECT_TRUE(frame->windowTitle().startsWith(language == std::string("xx") ? "Title - " : "Brambleton - "));
        gui::CVariablesDialog variables(document.GetState(), false, frame.get());
        for (const QAction* top : variables.findChild<QMenuBar*>()->actions()) {
            EXPECT_EQ(MisreadItems(top->menu()->actions()), QStringList());
        }

        AddGlobalStep("Lives");
        prompts.boxAnswers = {QMessageBox::Cancel};
        EXPECT_FALSE(frame->OnFileNew());
        ASSERT_FALSE(prompts.boxes.empty());
        EXPECT_EQ(prompts.boxes.back().text, saveQuestion);
    }
    SetLanguage("en");
}

// The preamble has one name in each language, wherever a text mentions it.
TEST_F(MainFrameTest, EachLanguageNamesThePreambleOneWay)
{
    for (const char* language : {"en", "de"}) {
        SCOPED_TRACE(language);
        SetLanguage(language);
        const QString name = gui::Localized("Find/Place_Preamble");
        for (const char* key : {"CommentView/PreambleDescription", "InstructionView/HeaderDescription"}) {
            EXPECT_TRUE(gui::Localized(key).contains(name, Qt::CaseInsensitive)) << key;
        }
    }
    SetLanguage("en");
}

TEST_F(MainFrameTest, KeysReachTheirCommandsAndNoKeyIsShared)
{
    const auto frame = MakeFrame();
    QList<QKeySequence> all;
    for (const QAction* action : frame->findChildren<QAction*>()) {
        // A view's own keys act only where it has the focus.
        if (action->shortcutContext() == Qt::WidgetShortcut) {
            continue;
        }
        for (const QKeySequence& key : action->shortcuts()) {
            EXPECT_FALSE(all.contains(key)) << key.toString().toStdString();
            all << key;
        }
    }
    ASSERT_TRUE(test::ShowActive(*frame));
    // The pane itself or the control it hands the focus to.
    const auto focused = [](const QWidget* pane) {
        return QApplication::focusWidget() == pane || pane->isAncestorOf(QApplication::focusWidget());
    };
    frame->CategoriesPane()->setFocus();
    for (const QWidget* pane : {frame->CommentPane(), frame->InstructionPane(), frame->CategoriesPane()}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
        EXPECT_TRUE(focused(pane)) << pane->objectName().toStdString();
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6, Qt::ShiftModifier);
    EXPECT_TRUE(focused(frame->InstructionPane()));
    // From outside the panes, F6 starts at the first one.
    frame->menuBar()->setFocus();
    frame->Action(QStringLiteral("NextPane"))->trigger();
    EXPECT_TRUE(focused(frame->CategoriesPane()));

    // Ctrl+P does nothing at all, and no menu shows it.
    QWidget* pane = frame->CategoriesPane();
    AddGlobalStep("Lives");
    QTest::keyClick(pane, Qt::Key_P, Qt::ControlModifier);
    EXPECT_TRUE(prompts.boxes.empty());
    EXPECT_EQ(frame->dialogs, 0);
    for (const QAction* menu : frame->menuBar()->actions()) {
        EXPECT_FALSE(menu->menu()->actions().contains(frame->Action(QStringLiteral("Print"))));
    }
    // Undo on Ctrl+Z; redo on Ctrl+Y and on Ctrl+Shift+Z.
    for (const QKeyCombination redo : {Qt::CTRL | Qt::Key_Y, Qt::CTRL | Qt::SHIFT | Qt::Key_Z}) {
        QTest::keyClick(pane, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_TRUE(GlobalNames().empty());
        QTest::keyClick(pane, redo.key(), redo.keyboardModifiers());
        EXPECT_EQ(GlobalNames().size(), 1u);
    }
    // Save as on Ctrl+Shift+S; Generate Script on a key its menu item shows.
    const QAction* generate = frame->Action(QStringLiteral("GenerateScript"));
    ASSERT_FALSE(generate->shortcut().isEmpty());
    EXPECT_FALSE(generate->text().contains(QLatin1Char('\t')));
    QTest::keyClick(pane, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(pane, generate->shortcut()[0].key(), generate->shortcut()[0].keyboardModifiers());
    EXPECT_EQ(prompts.saveTitles, (QStringList{QString(), QStringLiteral("Generate script")}));
    // Quit on Ctrl+Q, asking about the unsaved change first.
    prompts.boxAnswers = {QMessageBox::No};
    QTest::keyClick(pane, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(frame->isVisible());
    EXPECT_EQ(prompts.boxes.size(), 1u);
}

// Collapse all and expand all act on the focused tree, from the View menu or
// the keys (also as the underscore and equals signs the keys give with Shift).
TEST_F(MainFrameTest, CollapseAndExpandAllActOnTheFocusedTree)
{
    const auto frame = MakeFrame();
    ASSERT_TRUE(frame->OpenFile(Path("samples/Showcase.bdf")));
    ASSERT_TRUE(test::ShowActive(*frame));
    auto* categories = static_cast<QTreeView*>(frame->CategoriesPane());
    const QAbstractItemModel* model = categories->model();
    const QModelIndex root = model->index(0, 0);
    ASSERT_GT(model->rowCount(root), 0);
    const auto openCategories = [categories, model, root] {
        int open = 0;
        for (int i = 0; i < model->rowCount(root); ++i) {
            open += categories->isExpanded(model->index(i, 0, root)) ? 1 : 0;
        }
        return open;
    };
    const QModelIndex firstTrigger = model->index(0, 0, model->index(0, 0, root));
    categories->setCurrentIndex(firstTrigger);
    categories->setFocus();
    QTest::keyClick(categories, Qt::Key_Underscore, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(openCategories(), 0);
    EXPECT_TRUE(categories->isExpanded(root)) << "the categories stay in sight";
    QTest::keyClick(categories, Qt::Key_Equal, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(openCategories(), model->rowCount(root));

    // In the instruction tree, from the menu: the trigger's blocks stay in sight.
    categories->setCurrentIndex(firstTrigger);
    QTreeView* instructions = frame->findChild<gui::CInstructionView*>()->Tree();
    const QAbstractItemModel& rows = *instructions->model();
    instructions->setFocus();
    frame->Action(QStringLiteral("CollapseAll"))->trigger();
    const QModelIndex top = rows.index(0, 0);
    EXPECT_TRUE(instructions->isExpanded(top));
    for (int i = 0; i < rows.rowCount(top); ++i) {
        EXPECT_FALSE(instructions->isExpanded(rows.index(i, 0, top)));
    }
    EXPECT_EQ(openCategories(), model->rowCount(root)) << "the other tree is left alone";
    frame->Action(QStringLiteral("ExpandAll"))->trigger();
    EXPECT_TRUE(instructions->isExpanded(rows.index(0, 0, top)));
}

// The Edit menu's clipboard commands go to what had the focus: the
// categories' selection, or a text box's text as its own keys would.
TEST_F(MainFrameTest, ClipboardCommandsGoToTheFocusedTreeOrTextBox)
{
    const auto frame = MakeFrame();
    test::AddCurrentTrigger(document, "Tick");
    document.UpdateAllViews();
    ASSERT_TRUE(test::ShowActive(*frame));
    const auto action = [&frame](const char* name) { return frame->Action(QLatin1String(name)); };
    frame->CategoriesPane()->setFocus();
    frame->UpdateCommandUI();
    EXPECT_TRUE(action("Copy")->isEnabled());
    EXPECT_FALSE(action("Paste")->isEnabled());
    QTest::keyClick(frame->CategoriesPane(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(QApplication::clipboard()->mimeData()->hasFormat(QStringLiteral("application/x-brambleton-fragment")));
    QTest::keyClick(frame->CategoriesPane(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_TRUE(document.GetCategorySystem().HasTrigger("Tick_2"));

    auto* box = frame->CommentPane()->findChild<QPlainTextEdit*>();
    box->setFocus();
    QTest::keyClicks(box, QStringLiteral("hello"));
    box->selectAll();
    action("Cut")->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("hello"));
    EXPECT_FALSE(QApplication::clipboard()->mimeData()->hasFormat(QStringLiteral("application/x-brambleton-fragment")));
    EXPECT_TRUE(document.GetState()->GetCurrentTrigger()->GetComment().empty());
    EXPECT_EQ(document.GetUndoName(), "History/Text_Cut");
    QApplication::clipboard()->clear();
}

// Alt+E gives the menu bar the focus; the Edit menu still offers the
// clipboard commands of the view or text box that had it, and they act there.
TEST_F(MainFrameTest, EditMenuOpenedFromTheKeyboardActsOnWhatHadTheFocus)
{
    const auto frame = MakeFrame();
    test::AddCurrentTrigger(document, "Tick");
    document.UpdateAllViews();
    ASSERT_TRUE(test::ShowActive(*frame));
    auto* box = frame->CommentPane()->findChild<QPlainTextEdit*>();
    const struct {
        QWidget* focus;
        const char* format;
    } cases[] = {
        {frame->CategoriesPane(), "application/x-brambleton-fragment"},
        {box, "text/plain"},
    };
    for (const auto& [focus, format] : cases) {
        SCOPED_TRACE(format);
        QApplication::clipboard()->clear();
        focus->setFocus();
        if (focus == box) {
            QTest::keyClicks(box, QStringLiteral("hello"));
            box->selectAll();
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_E, Qt::AltModifier);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        EXPECT_TRUE(frame->Action(QStringLiteral("Cut"))->isEnabled());
        EXPECT_TRUE(frame->Action(QStringLiteral("Copy"))->isEnabled());
        QTest::keyClick(menu, Qt::Key_C);
        const QMimeData* copied = QApplication::clipboard()->mimeData();
        EXPECT_TRUE(copied != nullptr && copied->hasFormat(QLatin1String(format)));
        menu->close();
        // The offscreen platform gives the activation back to no one after a popup.
        QApplication::setActiveWindow(frame.get());
    }
    QApplication::clipboard()->clear();
}

// A label being typed is part of the document when the window closes or
// replaces it: the rename is committed, so the save question comes.
TEST_F(MainFrameTest, ARenameBeingTypedIsCommittedBeforeTheDocumentIsLeft)
{
    const auto frame = MakeFrame();
    ASSERT_TRUE(test::ShowActive(*frame));
    auto* view = qobject_cast<gui::CCategoriesView*>(frame->CategoriesPane());
    ASSERT_NE(view, nullptr);
    const QString sample = Path("samples/Countdown.bdf");
    const struct {
        QString name;
        std::function<void(QWidget* editor)> leave;
    } cases[] = {
        {"Quitting", [](QWidget* editor) { QTest::keyClick(editor, Qt::Key_Q, Qt::ControlModifier); }},
        {"Renewing", [](QWidget* editor) { QTest::keyClick(editor, Qt::Key_N, Qt::ControlModifier); }},
        {"Opening",
         [this, &sample](QWidget* editor) {
             prompts.fileAnswers = {sample};
             QTest::keyClick(editor, Qt::Key_O, Qt::ControlModifier);
         }},
        {"Closing", [&frame](QWidget*) { frame->close(); }},
    };
    for (const auto& [name, leave] : cases) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_TRUE(frame->OpenFile(sample));
        view->setCurrentIndex(view->IndexOf(document.GetCategorySystem().FindTrigger("Tick").entry));
        view->setFocus();
        QTest::keyClick(view, Qt::Key_F2);
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        ASSERT_NE(editor, nullptr);
        editor->selectAll();
        QTest::keyClicks(editor, name);
        const std::size_t asked = prompts.boxes.size();
        prompts.boxAnswers = {QMessageBox::Cancel};
        leave(editor);
        EXPECT_EQ(prompts.boxes.size(), asked + 1);
        EXPECT_TRUE(document.GetCategorySystem().HasTrigger(name.toStdString()));
        EXPECT_TRUE(frame->isVisible());
    }
}

TEST_F(MainFrameTest, LocalsAndToCodeNeedACurrentTriggerAndUndoTextsNameTheStep)
{
    const auto frame = MakeFrame();
    const auto action = [&frame](const char* name) { return frame->Action(QLatin1String(name)); };
    const auto enabled = [&action] {
        return test::EnabledStates(action, {"EditGlobals", "EditLocals", "ToCode", "Undo", "Redo"});
    };
    EXPECT_EQ(enabled(), "10000");
    action("ToCode")->trigger();
    EXPECT_FALSE(document.CanUndo());

    test::AddCurrentTrigger(document, "Tick");
    document.UpdateAllViews();
    EXPECT_EQ(enabled(), "11100");
    action("ToCode")->trigger();
    const CCodeTrigger* trigger = document.GetState()->GetCurrentTrigger();
    ASSERT_TRUE(trigger != nullptr && trigger->IsCode());
    EXPECT_EQ(enabled(), "11010");
    EXPECT_EQ(action("Undo")->text(), QStringLiteral("&Undo: convert trigger to code"));

    action("Undo")->trigger();
    EXPECT_FALSE(document.GetState()->GetCurrentTrigger()->IsCode());
    EXPECT_EQ(enabled(), "11101");
    EXPECT_EQ(action("Undo")->text(), QStringLiteral("&Undo"));
    EXPECT_EQ(action("Redo")->text(), QStringLiteral("&Redo: convert trigger to code"));
    action("Redo")->trigger();
    EXPECT_TRUE(document.GetState()->GetCurrentTrigger()->IsCode());
    EXPECT_EQ(enabled(), "11010");
}

// A command id finds the action its name does, also written out as a number.
TEST_F(MainFrameTest, CommandIdsFindTheirActions)
{
    const auto frame = MakeFrame();
    const gui::CActionTable& categories = frame->findChild<gui::CCategoriesView*>()->Actions();
    const gui::CActionTable& instructions = frame->findChild<gui::CInstructionView*>()->Actions();
    using gui::ECommand;
    const struct {
        const gui::CActionTable& table;
        ECommand command;
        const char* name;
    } cases[] = {
        {frame->Actions(), ECommand::GenerateScript, "GenerateScript"},
        {frame->Actions(), ECommand::EditGlobals, "EditGlobals"},
        {frame->Actions(), ECommand::EditLocals, "EditLocals"},
        {frame->Actions(), ECommand::ToCode, "ToCode"},
        {categories, ECommand::CategoryNewCategory, "NewCategory"},
        {categories, ECommand::CategoryNewTrigger, "NewTrigger"},
        {categories, ECommand::CategoryDelete, "Delete"},
        {categories, ECommand::CategoryEnable, "Enable"},
        {categories, ECommand::CategoryEnableAtBeginning, "EnableAtBeginning"},
        {instructions, ECommand::InstructionCut, "Cut"},
        {instructions, ECommand::InstructionCopy, "Copy"},
        {instructions, ECommand::InstructionPaste, "Paste"},
        {instructions, ECommand::InstructionDelete, "Delete"},
        {instructions, ECommand::InstructionEnable, "Enable"},
        {instructions, gui::InstructionNewCommand(0), "New0"},
        {instructions, gui::InstructionNewCommand(2), "New2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QAction* action = c.table.Find(c.command);
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->objectName(), QLatin1String(c.name));
        EXPECT_EQ(c.table.Find(QString::number(static_cast<int>(c.command))), action);
    }
    EXPECT_EQ(frame->Actions().Find(ECommand::None), nullptr);
    EXPECT_EQ(frame->Actions().Find(ECommand::CategoryDelete), nullptr) << "each table knows only its own ids";
}

// Cancelled, or OK without a change, it records nothing and the waiting redo
// step stays; OK after a rename is one step.
TEST_F(MainFrameTest, VariablesCommandIsOneStepOrNone)
{
    AddGlobalStep("Count");
    AddGlobalStep("Spare");
    document.OnEditUndo();
    const std::size_t steps = document.GetUndoCount();
    const auto frame = MakeFrame();
    struct SCase {
        bool rename;
        bool accepted;
    };
    for (const SCase c : {SCase{true, false}, SCase{false, true}, SCase{true, true}}) {
        frame->answer = [c](QDialog& dialog) {
            auto& variables = dynamic_cast<gui::CVariablesDialog&>(dialog);
            if (c.rename) {
                variables.OnRenameInPlace(0, QStringLiteral("Lives"));
            }
            c.accepted ? variables.accept() : variables.reject();
            return variables.result();
        };
        frame->Action(QStringLiteral("EditGlobals"))->trigger();
        const bool changed = c.rename && c.accepted;
        EXPECT_EQ(GlobalNames(), (std::vector<std::string>{changed ? "Lives" : "Count"}));
        EXPECT_EQ(document.GetUndoCount(), steps + (changed ? 1 : 0));
        EXPECT_EQ(document.GetRedoCount(), changed ? 0u : 1u);
    }
    EXPECT_EQ(frame->dialogs, 3);
}

TEST_F(MainFrameTest, SaveNewOpenRoundTrip)
{
    const auto frame = MakeFrame();
    AddGlobalStep("Lives");
    // Unsaved changes are marked in the title.
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Brambleton - Untitled*"));
    const QString path = Path("game");
    prompts.fileAnswers = {path};
    ASSERT_TRUE(frame->OnFileSave());
    EXPECT_EQ(frame->statusBar()->currentMessage(), QStringLiteral("Saved ") + path + QStringLiteral(".bdf"));
    // Untitled: a name is asked for, offering the title with the data extension, which a bare name gets too.
    EXPECT_EQ(prompts.defaultNames, (QStringList{"Untitled.bdf"}));
    EXPECT_EQ(prompts.filters, (QStringList{"Brambleton data files (*.bdf)"}));
    EXPECT_FALSE(document.IsModified());
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Brambleton - game.bdf"));
    ASSERT_TRUE(frame->OnFileSave());
    EXPECT_EQ(prompts.filters.size(), 1);

    ASSERT_TRUE(frame->OnFileNew());
    EXPECT_TRUE(GlobalNames().empty());
    prompts.fileAnswers = {path + QStringLiteral(".bdf")};
    ASSERT_TRUE(frame->OnFileOpen());
    EXPECT_EQ(GlobalNames(), (std::vector<std::string>{"Lives"}));
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Brambleton - game.bdf"));

    // Save as offers the current path.
    prompts.fileAnswers = {Path("copy.bdf")};
    ASSERT_TRUE(frame->OnFileSaveAs());
    EXPECT_EQ(prompts.defaultNames.last(), path + QStringLiteral(".bdf"));
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Brambleton - copy.bdf"));
    EXPECT_TRUE(prompts.boxes.empty());
}

TEST_F(MainFrameTest, UnsavedChangesAreAskedFor)
{
    const auto frame = MakeFrame();
    frame->show();
    AddGlobalStep("Lives");
    // Cancel, or Yes with the save dialog cancelled, keeps everything; so does Cancel on quitting.
    prompts.boxAnswers = {QMessageBox::Cancel, QMessageBox::Yes, QMessageBox::Cancel};
    EXPECT_FALSE(frame->OnFileNew());
    EXPECT_FALSE(frame->OnFileNew());
    EXPECT_FALSE(frame->close());
    ASSERT_EQ(prompts.boxes.size(), 3u);
    EXPECT_EQ(prompts.boxes[0].text, QStringLiteral("Save changes to Untitled?"));
    EXPECT_EQ(prompts.boxes[0].buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(GlobalNames(), (std::vector<std::string>{"Lives"}));

    // Open chooses the file first, then asks.
    prompts.fileAnswers = {Path("none.bdf")};
    prompts.boxAnswers = {QMessageBox::Cancel};
    EXPECT_FALSE(frame->OnFileOpen());
    EXPECT_EQ(prompts.boxes.size(), 4u);

    // Yes saves first; No loses the changes; an unmodified document is not asked about.
    prompts.boxAnswers = {QMessageBox::Yes};
    prompts.fileAnswers = {Path("kept.bdf")};
    EXPECT_TRUE(frame->OnFileNew());
    EXPECT_TRUE(FileExists(started.workspace / "kept.bdf"));
    AddGlobalStep("Score");
    prompts.boxAnswers = {QMessageBox::No};
    EXPECT_TRUE(frame->OnFileNew());
    EXPECT_TRUE(GlobalNames().empty());
    EXPECT_TRUE(frame->OnFileNew());
    EXPECT_TRUE(frame->close());
    EXPECT_EQ(prompts.boxes.size(), 6u);
}

TEST_F(MainFrameTest, OpenAndSaveFailuresShowTheirBoxes)
{
    const auto frame = MakeFrame();
    test::WriteFile(started.workspace / "broken.bdf", "<not a data file");
    AddGlobalStep("Lives");
    prompts.boxAnswers = {QMessageBox::No};
    prompts.fileAnswers = {Path("broken.bdf"), Path("missing-folder/game.bdf")};
    // A failed open leaves a new document, not the old one or half the file.
    EXPECT_FALSE(frame->OnFileOpen());
    EXPECT_TRUE(GlobalNames().empty());
    EXPECT_FALSE(frame->OnFileSaveAs());
    ASSERT_EQ(prompts.boxes.size(), 3u);
    // The open box's texts: CommandLineTest.AFileThatCannotBeOpenedIsExplainedAndTheEditorGoesOn.
    EXPECT_EQ(prompts.boxes[1].icon, QMessageBox::Critical);
    EXPECT_EQ(prompts.boxes[2].icon, QMessageBox::Critical);
    EXPECT_EQ(prompts.boxes[2].text, QStringLiteral("The file could not be saved."));
    EXPECT_TRUE(prompts.boxes[2].informative.startsWith("File: " + Path("missing-folder/game.bdf") + "\nReason: "))
        << prompts.boxes[2].informative.toStdString();
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Brambleton - Untitled"));
    EXPECT_TRUE(frame->RecentFiles().Files().isEmpty());
    EXPECT_NE(started.workspace.Log().find("Saving failed.\n"), std::string::npos);
}

TEST_F(MainFrameTest, RecentFilesAreKeptInTheUserSettingsFile)
{
    {
        const auto frame = MakeFrame();
        for (const char* name : {"a.bdf", "b.bdf", "c.bdf", "d.bdf", "e.bdf"}) {
            prompts.fileAnswers = {Path(name)};
            ASSERT_TRUE(frame->OnFileSaveAs());
        }
        frame->UpdateCommandUI();
        EXPECT_EQ(frame->Action(QStringLiteral("Recent1"))->text(), QStringLiteral("&1 ") + Path("e.bdf"));
        EXPECT_FALSE(frame->Action(QStringLiteral("LastFile"))->isVisible());
    }
    QSettings settings(Path("user.ini"), QSettings::IniFormat);
    EXPECT_EQ(settings.value(QStringLiteral("Recent File List/File1")).toString(), Path("e.bdf"));
    EXPECT_FALSE(settings.contains(QStringLiteral("Recent File List/File5")));

    // A new window reads them back; a file that cannot be opened leaves the list.
    const auto frame = MakeFrame();
    EXPECT_EQ(frame->RecentFiles().Files(), (QStringList{Path("e.bdf"), Path("d.bdf"), Path("c.bdf"), Path("b.bdf")}));
    ASSERT_TRUE(frame->OnOpenRecentFile(2));
    EXPECT_EQ(frame->RecentFiles().Files().first(), Path("c.bdf"));
    test::WriteFile(started.workspace / "d.bdf", "garbage");
    EXPECT_FALSE(frame->OnOpenRecentFile(2));
    EXPECT_EQ(frame->RecentFiles().Files(), (QStringList{Path("c.bdf"), Path("e.bdf"), Path("b.bdf")}));
}

TEST_F(MainFrameTest, WindowPlaceAndPanesAreKeptInTheUserSettingsFileFittedToTheScreen)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect place(screen.x() + 20, screen.y() + 30, 500, 400);
    QList<int> columns;
    for (const bool restored : {false, true}) {
        const auto frame = MakeFrame();
        frame->show();
        if (!restored) {
            frame->setGeometry(place);
            frame->OuterSplitter()->setSizes({150, 350});
            columns = frame->OuterSplitter()->sizes();
        } else {
            EXPECT_EQ(frame->geometry(), place);
            EXPECT_EQ(frame->OuterSplitter()->sizes(), columns);
            frame->showMaximized();
        }
        ASSERT_TRUE(frame->close());
    }
    // Maximized, with a place that another, larger screen left: fitted in.
    QSettings settings(Path("user.ini"), QSettings::IniFormat);
    EXPECT_TRUE(settings.value(QStringLiteral("Window/Maximized")).toBool());
    EXPECT_EQ(settings.value(QStringLiteral("Window/Geometry")).toRect(), place);
    settings.setValue(QStringLiteral("Window/Geometry"), QRect(-5000, screen.y() + 10, screen.width() * 2, 300));
    settings.sync();
    const auto frame = MakeFrame();
    EXPECT_TRUE(screen.contains(frame->geometry())) << frame->geometry().x() << "," << frame->geometry().width();
    EXPECT_EQ(frame->geometry().height(), 300);
    frame->show();
    EXPECT_TRUE(frame->isMaximized());
}

// That the script runs, disabled entries too: ExamplesLua.DataFilesRunAsExpected.
TEST_F(MainFrameTest, GenerateScriptProposesTheDocumentsNameAndReportsTheWrittenScript)
{
    const auto frame = MakeFrame();
    frame->OnGenerateScript();
    EXPECT_EQ(prompts.defaultNames.last(), QStringLiteral("Untitled.lua"));

    ASSERT_TRUE(frame->OpenFile(Path("samples/Showcase.bdf")));
    std::filesystem::create_directories(started.workspace / "out");
    prompts.fileAnswers = {Path("out/first")};
    frame->Action(QStringLiteral("GenerateScript"))->trigger();
    // Titled as the menu item, the document's name beside it, script files offered.
    EXPECT_EQ(prompts.saveTitles.last(), QStringLiteral("Generate script"));
    EXPECT_EQ(prompts.defaultNames.last(), Path("samples/Showcase.lua"));
    EXPECT_EQ(prompts.filters.last(), QStringLiteral("Lua scripts (*.lua)"));
    const std::string script = started.workspace / "out/first.lua";
    EXPECT_EQ(test::ReadFile(script), document.GenerateScriptData());
    EXPECT_EQ(frame->statusBar()->currentMessage(), QStringLiteral("Script written to %1 (%2 bytes)")
                                                        .arg(Path("out/first.lua"))
                                                        .arg(test::ReadFile(script).size()));

    // Next time the folder of the last script; the data file type is back afterwards.
    frame->OnGenerateScript();
    EXPECT_EQ(prompts.defaultNames.last(), Path("out/Showcase.lua"));
    EXPECT_EQ(frame->DocTemplate().Filter(), QStringLiteral("Brambleton data files (*.bdf)"));
    prompts.fileAnswers = {Path("missing-folder/game.lua")};
    frame->OnGenerateScript();
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, QStringLiteral("The file could not be saved."));
    EXPECT_TRUE(prompts.boxes[0].informative.startsWith("File: " + Path("missing-folder/game.lua")));
}

TEST_F(MainFrameTest, AboutShowsTheWorkspaceLicence)
{
    const auto frame = MakeFrame();
    QString licence;
    frame->answer = [&licence](QDialog& dialog) {
        licence = dynamic_cast<gui::CAboutDialog&>(dialog).LicenseText();
        return QDialog::Accepted;
    };
    frame->Action(QStringLiteral("About"))->trigger();
    EXPECT_TRUE(licence.startsWith(QStringLiteral("MIT License"))) << licence.toStdString();
}

} // namespace
} // namespace bram
