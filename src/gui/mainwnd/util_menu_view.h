#pragma once

#include "lang/lang_res_store.h"
#include "mainwnd/menu_file.h"
#include "mainwnd/menu_pictures.h"
#include "mainwnd/menu_row_state.h"

#include <QFont>
#include <QListWidget>
#include <QRect>

#include <memory>

struct AppState;
class PluginDataMgr;

// The menu in the left pane of the main window: the entries of the menu definition file
// as owner-drawn rows over a background picture, driven by the mouse alone. The row under
// the pointer, the row being pressed and the selected row each get their own picture;
// releasing the button on a selectable row selects it, which tells the former entry's
// plug-in to leave its page (it may refuse with -5) and the new one to show its page.
//
// Use from the main frame:
//   CUtilMenuView::Context context = CUtilMenuView::Context::FromAppState(state, frame, pane);
//   auto* menu = new CUtilMenuView(context, splitter);
//   connect(menu, &CUtilMenuView::titleRead, ...);        // the main window's title
//   connect(menu, &CUtilMenuView::entryListReady, ...);   // StartStatusMonitoring
//   connect(menu, &CUtilMenuView::menuSizeKnown, ...);    // menu width/height, LayoutPanes
//   connect(menu, &CUtilMenuView::selectedEntryChanged, ...);
//   menu->InitialUpdate();                                // once, when first shown
//   ...
//   if (!menu->CanClose()) event->ignore();               // on the frame's close request
// The signals are emitted from within InitialUpdate and the mouse handlers, on the main
// thread, and are meant for direct connections. The view owns the entries; destroying it
// finalises and releases every plug-in in menu order.
class CUtilMenuView : public QListWidget
{
    Q_OBJECT

public:
    static constexpr char kWindowName[] = "MENU_ITEM";

    // Everything the menu needs from the application.
    struct Context
    {
        AppState* appState = nullptr;     // handed to each plug-in's FORMVIEWDLL_Initialize
        PluginDataMgr* dataMgr = nullptr; // receives the plug-ins' data blocks; may be null
        int32_t startMode = 0;            // chooses the menu definition file
        QString programFolder;            // holds the menu files and plug-ins; ends with '/'
        QString languageFolder;           // the language files
        int languageId = CLangResStore::kFallbackLangId;
        QWidget* mainFrame = nullptr; // gets the title; receives the close when texts miss
        QWidget* pagePane = nullptr;  // the area in which plug-ins build their pages

        // Takes data manager, start mode, folders and language from the shared block.
        static Context FromAppState(AppState& state, QWidget* mainFrame, QWidget* pagePane);
    };

    // Which picture a row shows, and where its picture and text go.
    struct RowPlan
    {
        enum class Picture
        {
            None,
            OnMouse,
            Selected,
            Selecting,
        };
        Picture picture = Picture::None;
        QRect pictureRect; // from the view's left edge at the row's top
        QRect textRect;
    };

    CUtilMenuView(const Context& context, QWidget* parent);
    ~CUtilMenuView() override;

    // Builds the menu once: texts, menu file, title, layout and pictures, entries with
    // their plug-ins, data-block registration, entry list, levels, rows and size, initial
    // selection. Without any language file it warns, posts a close to the main window
    // and leaves the menu empty. Later calls do nothing.
    void InitialUpdate();

    // The entries in menu order, owned by the view.
    const MenuItemList& Entries() const { return m_entries; }
    // The selected row (-1 when none) and its entry (null when none).
    int SelectedRow() const { return m_rows.SelectedRow(); }
    MenuItem* SelectedEntry() const;
    int OnMouseRow() const { return m_rows.OnMouseRow(); }
    int SelectingRow() const { return m_rows.SelectingRow(); }

    // Whether the main window may close: asks the selected entry's plug-in to leave its
    // page (FORMVIEWDLL_ChangeMenuState 1) and agrees only when it answers 0; agrees
    // without asking when no entry is selected or the entry has no plug-in.
    bool CanClose();

    const QString& MenuFilePath() const { return m_menuFilePath; }
    const MenuLayout& Layout() const { return m_layout; }
    const MenuPictures& Pictures() const { return *m_pictures; }
    // Row size in pixels once measured. A size that the menu file sets to 0 or below
    // leaves the control's own row height and the selected picture's width.
    int RowHeight() const;
    int RowWidth() const;

    // Where row draws into rowRect (the row's rectangle in the viewport).
    RowPlan PlanRow(int row, const QRect& rowRect) const;
    // The font of a row's text.
    QFont RowFont(int row) const;
    // The rectangle of a row in the viewport.
    QRect RowRect(int row) const;

signals:
    // The title that the menu file gives the main window (also set on Context::mainFrame).
    void titleRead(const QString& title);
    // The entries are read and their plug-ins' blocks registered (StartStatusMonitoring).
    void entryListReady(const MenuItemList* entries);
    // The size in pixels that the whole list needs.
    void menuSizeKnown(int width, int height);
    // Another row became the selected row; entry is null when row is -1.
    void selectedEntryChanged(int row, MenuItem* entry);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    class RowDelegate;
    class RowClient : public MenuRowState::Client
    {
    public:
        explicit RowClient(CUtilMenuView& view) : m_view(view) {}
        int RowCount() const override;
        bool IsSelectable(int row) const override;
        int32_t SelectingValue(int row) const override;
        int32_t ChangeMenuState(int row, int32_t state) override;
        void RedrawRow(int row) override;
        void SelectedRowChanged(int row) override;

    private:
        CUtilMenuView& m_view;
    };

    bool OpenTexts();
    void FillRows();
    void PaintBackground(QPainter& painter, const QRect& area) const;
    void DrawRow(QPainter& painter, const QRect& rowRect, int row) const;
    const QImage& StatePicture(RowPlan::Picture picture) const;
    int HitRow(const QPoint& viewportPos) const;
    static uint32_t KeyFlags(const QMouseEvent& event);
    void ReleaseEntries();

    Context m_context;
    CLangResStore m_texts;
    QString m_menuFilePath;
    MenuLayout m_layout;
    std::unique_ptr<MenuPictures> m_pictures;
    MenuItemList m_entries;
    RowClient m_rowClient{*this};
    MenuRowState m_rows{m_rowClient};
    RowDelegate* m_delegate = nullptr; // owned by the view as its child
    bool m_initialUpdateDone = false;
};
