// The page controller and the common page: page windows, block headers, texts with the
// English fallback and its notices, resizing, background, setting data, closing; and the
// shared message boxes.
#include "pagebase_test_support.h"

#include "app/fixed_text.h"
#include "app/message_box.h"
#include "pages/common_form_view.h"
#include "pages/form_view_ctrl.h"
#include "pages/single_form_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTest>

#include <cstring>

using namespace pagebase_test;

namespace {

// Counts what the controller calls and creates two pages (and an empty entry).
class CountingCtrl : public CFormViewCtrl
{
public:
    int checkResult = 0;
    int checks = 0;
    int creates = 0;
    int onCreateAnswer = 0;

    int CheckBeforeInit() override
    {
        ++checks;
        return checkResult;
    }
    void CreatePages() override;
    using CFormViewCtrl::SetBlockDescription;
    using CFormViewCtrl::SetPageValue;
};

class CountingPage : public CSingleFormView
{
public:
    explicit CountingPage(int answer) : CSingleFormView(4711), m_answer(answer) {}
    int OnCreate() override
    {
        createdHidden = isHidden() && parentWidget() != nullptr;
        return m_answer;
    }
    bool createdHidden = false;

private:
    int m_answer;
};

void CountingCtrl::CreatePages()
{
    ++creates;
    AddPage(std::make_unique<CCommonFormView>());
    AddPage(nullptr);
    AddPage(std::make_unique<CountingPage>(onCreateAnswer));
}

class FormView : public ::testing::Test
{
protected:
    void SetUp() override
    {
        parent.resize(600, 400);
        parent.show();
    }
    AppFixture app;
    FakeFrame frame;
    QWidget parent;
};

TEST_F(FormView, InitializeCreatesHiddenChildPagesOnce)
{
    app.WriteLanguageFile(QStringLiteral("0409.DAT"), EnglishLanguageFile());
    CountingCtrl ctrl;
    ctrl.SetPageValue(99);
    EXPECT_EQ(ctrl.CurrentPageIndex(), -1);
    EXPECT_FALSE(ctrl.IsInitialized());
    EXPECT_EQ(ctrl.DestroyPages(), -2);
    ASSERT_EQ(ctrl.Initialize(app.state.get(), &frame, &parent), 0);
    EXPECT_EQ(ctrl.CurrentPageIndex(), 0);
    EXPECT_TRUE(ctrl.IsInitialized());
    EXPECT_EQ(ctrl.InitFlag(), 0);
    ASSERT_EQ(ctrl.PageCount(), 3);
    EXPECT_EQ(ctrl.Page(1), nullptr);
    for (const int index : {0, 2}) {
        CCommonFormView* page = ctrl.Page(index);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->parentWidget(), &parent);
        EXPECT_TRUE(page->isHidden());
        EXPECT_EQ(page->geometry(), parent.rect());
        EXPECT_EQ(page->property("controlId").toInt(), page->TemplateId());
        EXPECT_TRUE(page->HasController());
        EXPECT_EQ(page->AppStateBlock(), ctrl.AppStateBlock());
        EXPECT_EQ(page->ControllerValue(), 99);
        EXPECT_EQ(page->MainWindow(), &frame);
    }
    EXPECT_EQ(ctrl.Page(0)->TemplateId(), 101);
    EXPECT_TRUE(static_cast<CountingPage*>(ctrl.Page(2))->createdHidden);
    // The common texts are loaded.
    QString text;
    EXPECT_EQ(ctrl.CommonTexts().GetMessage(0, text), 0);
    EXPECT_EQ(text, QStringLiteral("Common text."));

    EXPECT_EQ(ctrl.Initialize(app.state.get(), &frame, &parent), -3);
    EXPECT_EQ(ctrl.creates, 1);
    EXPECT_EQ(ctrl.PageCount(), 3);
    EXPECT_EQ(parent.findChildren<CCommonFormView*>().size(), 2);
}

TEST_F(FormView, CheckBeforeInitStopsEverything)
{
    CountingCtrl ctrl;
    ctrl.checkResult = -9;
    EXPECT_EQ(ctrl.Initialize(app.state.get(), &frame, &parent), -9);
    EXPECT_EQ(ctrl.creates, 0);
    EXPECT_FALSE(ctrl.IsInitialized());
    EXPECT_EQ(ctrl.AppStateBlock(), app.state.get()); // remembered first
    EXPECT_EQ(ctrl.MainWindow(), nullptr);
}

TEST_F(FormView, PageWhoseWindowFailsIsDropped)
{
    CountingCtrl ctrl;
    ctrl.onCreateAnswer = -1;
    ASSERT_EQ(ctrl.Initialize(app.state.get(), &frame, &parent), 0);
    EXPECT_EQ(ctrl.Page(2), nullptr);
    EXPECT_EQ(parent.findChildren<CCommonFormView*>().size(), 1);
}

TEST_F(FormView, DestroyPagesEndsEveryPage)
{
    CountingCtrl ctrl;
    ASSERT_EQ(ctrl.Initialize(app.state.get(), &frame, &parent), 0);
    EXPECT_EQ(ctrl.DestroyPages(), 0);
    EXPECT_EQ(ctrl.PageCount(), 0);
    EXPECT_TRUE(parent.findChildren<CCommonFormView*>().isEmpty());
    EXPECT_EQ(ctrl.DestroyPages(), 0);
}

TEST_F(FormView, PagesGoneWithTheirParentAreNotDestroyedTwice)
{
    CountingCtrl ctrl;
    {
        QWidget shortLived;
        ASSERT_EQ(ctrl.Initialize(app.state.get(), &frame, &shortLived), 0);
    }
    EXPECT_EQ(ctrl.Page(0), nullptr);
    EXPECT_EQ(ctrl.DestroyPages(), 0);
}

TEST_F(FormView, BlockHeaderFromTheDescription)
{
    CountingCtrl ctrl;
    EXPECT_EQ(ctrl.BlockId(), 0x10001u);
    EXPECT_EQ(ctrl.BlockVersion(), 0x10000u);
    EXPECT_EQ(ctrl.BlockSize(), 0u);
    ctrl.SetBlockDescription(0x10005, 0x20000, 152);
    DataBlockHeader header;
    ctrl.GetBlockHeader(&header);
    EXPECT_EQ(std::memcmp(header.magic, "PND", 4), 0);
    EXPECT_EQ(header.id, 0x10005u);
    EXPECT_EQ(header.version, 0x20000u);
    EXPECT_EQ(header.totalSize, 152u);
    ctrl.GetBlockHeader(nullptr);
    EXPECT_EQ(ctrl.InitSettingData(0x10005), 1);
    EXPECT_TRUE(ctrl.DependencyBlocks().empty());
    int32_t count = 5;
    EXPECT_EQ(ctrl.GetDependPluginData(nullptr, &count), 1);
    EXPECT_EQ(count, 0);
}

TEST_F(FormView, SettingDataOfThePageGoesToTheControllersBlock)
{
    CountingCtrl ctrl;
    ctrl.SetBlockDescription(0x20002, 0x10000, 40);
    ASSERT_EQ(ctrl.Initialize(app.state.get(), &frame, &parent), 0);
    ASSERT_EQ(app.dataMgr.AddBlock(0x20002, 0x10000, 40), 0);
    CCommonFormView* page = ctrl.Page(0);
    std::vector<char> data(40, 'x');
    ctrl.GetBlockHeader(reinterpret_cast<DataBlockHeader*>(data.data()));
    EXPECT_EQ(page->SetSettingData(data.data(), 40), 0);
    std::vector<char> back(40, 0);
    EXPECT_EQ(page->GetSettingData(back.data(), 40), 0);
    EXPECT_EQ(back, data);
    EXPECT_EQ(page->GetSettingDataById(0x77, back.data(), 40), -1);
    EXPECT_EQ(page->SetSettingDataById(0x77, data.data(), 40), -1);

    CommTiming timing;
    EXPECT_EQ(page->GetCommTiming(&timing), 1);
    EXPECT_EQ(timing.timeMs, 1000);
    EXPECT_EQ(timing.attempts, 30);
    EXPECT_EQ(timing.pauseMs, 1000);
    EXPECT_EQ(page->GetCommTiming(nullptr), 0);
    EXPECT_EQ(page->ReadPrinterData(), 1);
}

TEST_F(FormView, SmallerPageIsStretchedLargerOneKeepsItsSize)
{
    CountingCtrl ctrl;
    ASSERT_EQ(ctrl.Initialize(app.state.get(), &frame, &parent), 0);
    app.WriteLanguageFile(QStringLiteral("0409.DAT"), EnglishLanguageFile());
    CCommonFormView* page = ctrl.Page(0);
    page->show();
    page->resize(100, 100);
    EXPECT_EQ(page->geometry(), parent.rect());
    page->move(10, 10);
    page->resize(800, 500);
    EXPECT_EQ(page->geometry(), QRect(0, 0, 800, 500));
    page->resize(800, 300); // wider but lower: stretched to the parent
    EXPECT_EQ(page->geometry(), parent.rect());
    // A hidden page is left as it is.
    page->hide();
    page->resize(50, 50);
    EXPECT_EQ(page->size(), QSize(50, 50));
}

TEST_F(FormView, BackgroundIsLightGrey)
{
    CCommonFormView page;
    page.resize(20, 20);
    const QImage image = page.grab().toImage();
    EXPECT_EQ(image.pixelColor(10, 10), QColor(240, 240, 240));
}

TEST_F(FormView, EnglishNoticeComesOnceAndTheApplicationSwitchesToEnglish)
{
    app.WriteLanguageFile(QStringLiteral("0409.DAT"), EnglishLanguageFile());
    app.state->languageId = 0x0411;
    SetFixedText(app.state->languageIdText, QStringLiteral("0411"));
    CountingCtrl first;
    CountingCtrl second;
    ASSERT_EQ(first.Initialize(app.state.get(), &frame, &parent), 0);
    ASSERT_EQ(second.Initialize(app.state.get(), &frame, &parent), 0);

    MessageBoxWatcher watcher;
    first.Page(0)->show();
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(
        watcher.boxes[0].text,
        QStringLiteral("Could not find the required files.\nDisplaying the screen in English."));
    EXPECT_EQ(watcher.boxes[0].owner, nullptr);
    EXPECT_EQ(watcher.boxes[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(first.Page(0)->EnglishNoticeShown());
    EXPECT_EQ(app.state->languageId, 0x0409);
    EXPECT_EQ(FixedText(app.state->languageIdText), QStringLiteral("0409"));
    QString text;
    EXPECT_EQ(first.Page(0)->Texts().GetMessage(1, text), 0);
    EXPECT_EQ(text, QStringLiteral("Communication text from the file."));

    // Showing it again, or another page, brings no notice.
    first.Page(0)->hide();
    first.Page(0)->show();
    second.Page(0)->show();
    second.Page(2)->show();
    EXPECT_EQ(watcher.boxes.size(), 1u);
    EXPECT_FALSE(second.Page(0)->EnglishNoticeShown());
    EXPECT_EQ(frame.closeRequests, 0);
}

TEST_F(FormView, NoLanguageFileClosesTheApplication)
{
    CountingCtrl ctrl;
    ASSERT_EQ(ctrl.Initialize(app.state.get(), &frame, &parent), 0);
    MessageBoxWatcher watcher;
    ctrl.Page(0)->show();
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text,
              QStringLiteral("Could not find the required files.\nClosing application."));
    EXPECT_EQ(watcher.boxes[0].owner, nullptr);
    EXPECT_EQ(watcher.boxes[0].title, QStringLiteral("QP-R60 Utility"));
    QTest::qWait(20);
    EXPECT_EQ(frame.closeRequests, 1);
    EXPECT_EQ(app.state->languageId, 0x0409); // unchanged
}

TEST_F(FormView, CloseApplicationWithoutMainWindowDoesNothing)
{
    CCommonFormView orphan;
    orphan.CloseApplication();
    QTest::qWait(10);
    EXPECT_EQ(frame.closeRequests, 0);
}

TEST(MessageBoxes, DefaultTextsCaptionsAndAnswers)
{
    {
        MessageBoxWatcher watcher;
        qpu::ShowInfoMessage(nullptr);
        qpu::ShowWarningMessage(nullptr);
        ASSERT_EQ(watcher.boxes.size(), 2u);
        EXPECT_EQ(watcher.boxes[0].text, QStringLiteral("Settings were changed successfully."));
        EXPECT_EQ(watcher.boxes[0].icon, QMessageBox::Information);
        EXPECT_EQ(watcher.boxes[1].text, QStringLiteral("Failed to change settings."));
        EXPECT_EQ(watcher.boxes[1].icon, QMessageBox::Warning);
        EXPECT_EQ(watcher.boxes[1].title, QStringLiteral("QP-R60 Utility"));
    }
    {
        MessageBoxWatcher yes(QMessageBox::Yes);
        EXPECT_EQ(qpu::AskYesNo(QString(), nullptr), qpu::kIdYes);
        ASSERT_EQ(yes.boxes.size(), 1u);
        EXPECT_EQ(
            yes.boxes[0].text,
            QStringLiteral("Do you want to save your changes to the settings to the printer?"));
        EXPECT_EQ(yes.boxes[0].title, QStringLiteral("QP-R60 Utility"));
        EXPECT_EQ(yes.boxes[0].icon, QMessageBox::Question);
    }
    {
        MessageBoxWatcher no(QMessageBox::No);
        QWidget owner;
        EXPECT_EQ(qpu::AskYesNo(QStringLiteral("Save file"), &owner, QStringLiteral("Save?")), 7);
        ASSERT_EQ(no.boxes.size(), 1u);
        EXPECT_EQ(no.boxes[0].title, QStringLiteral("Save file"));
        EXPECT_EQ(no.boxes[0].text, QStringLiteral("Save?"));
        EXPECT_EQ(no.boxes[0].owner, &owner);
    }
}

} // namespace
