#pragma once

#include "lang/lang_res_store.h"

#include <qpu/app_state.h>
#include <qpu/data_block.h>
#include <qpu/plugin.h>

#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

class CCommonFormView;

// The controller of one set of setting pages. It creates the pages' windows inside a
// parent window, hands each page the shared AppState block and itself, keeps the texts of
// the "PLUGIN_COMMON" sections, and describes the set's setting-data block by identifier,
// version and size. A derived controller creates its pages in CreatePages.
//
// Lifecycle: constructed (current page -1) -> Initialize (page windows created hidden,
// current page 0) -> destroyed (DestroyPages). Used on the user-interface thread.
class CFormViewCtrl
{
public:
    static constexpr char kCommonWindowName[] = "PLUGIN_COMMON";
    static constexpr quint32 kDefaultBlockId = 0x10001;
    static constexpr quint32 kDefaultBlockVersion = 0x10000;
    // Results.
    static constexpr int kOk = 0;
    static constexpr int kNotInitialized = -2;
    static constexpr int kAlreadyInitialized = -3;

    CFormViewCtrl();
    virtual ~CFormViewCtrl();
    CFormViewCtrl(const CFormViewCtrl&) = delete;
    CFormViewCtrl& operator=(const CFormViewCtrl&) = delete;

    // Remembers the block, then creates the pages (CheckBeforeInit, OnInit, CreatePages)
    // and their windows as hidden children of parentWindow covering its client area, and
    // loads the "PLUGIN_COMMON" texts. mainWindow receives the pages' requests (progress
    // dialog, refresh, close). 0; -3 when already initialised; otherwise the non-zero
    // result of CheckBeforeInit.
    int Initialize(AppState* appState, QWidget* mainWindow, QWidget* parentWindow);
    // Destroys every page window, in list order. 0, or -2 before Initialize.
    int DestroyPages();

    // Writes the default data of block blockId into the data manager. Base: 1.
    virtual int InitSettingData(quint32 blockId);
    // The blocks the set depends on, by the plug-ins' two-call protocol: with a null list
    // *count is set; otherwise *count records are filled. Base: no blocks (*count = 0), 1.
    virtual int GetDependPluginData(PluginInfo* list, int32_t* count);
    // The same as a list.
    std::vector<PluginInfo> DependencyBlocks();
    // Asked before anything is created; non-zero stops Initialize. Base: 0.
    virtual int CheckBeforeInit();
    // Base: the initialise flag 0.
    virtual void OnInit();
    // Creates the pages and appends them with AddPage. Base: none.
    virtual void CreatePages();
    // Fills a block header from this set's identifier, version and size; null is ignored.
    virtual void GetBlockHeader(DataBlockHeader* header) const;
    // Fills a block header from the given values.
    virtual void MakeBlockHeader(DataBlockHeader* header, quint32 id, quint32 version,
                                 quint32 sizeBytes) const;

    AppState* AppStateBlock() const { return m_appState; }
    QWidget* MainWindow() const { return m_mainWindow; }
    QWidget* ParentWindow() const { return m_parentWindow; }
    quint32 BlockId() const { return m_blockId; }
    quint32 BlockVersion() const { return m_blockVersion; }
    quint32 BlockSize() const { return m_blockSize; }
    // What every page gets handed; passed on unchanged.
    int32_t PageValue() const { return m_pageValue; }
    int32_t CurrentPageIndex() const { return m_currentPage; }
    bool IsInitialized() const { return m_initialized; }
    int32_t InitFlag() const { return m_initFlag; }
    const CLangResStore& CommonTexts() const { return m_texts; }

    int PageCount() const { return static_cast<int>(m_pages.size()); }
    // The page at index, or null (out of range, empty entry, or page already destroyed).
    CCommonFormView* Page(int index) const;
    CCommonFormView* CurrentPage() const { return Page(m_currentPage); }

protected:
    // Appends a page (null is kept as an empty entry). The controller owns the page until
    // DestroyPages; its window is created by Initialize.
    void AddPage(std::unique_ptr<CCommonFormView> page);
    void SetBlockDescription(quint32 id, quint32 version, quint32 sizeBytes);
    void SetInitFlag(int32_t flag) { m_initFlag = flag; }
    void SetPageValue(int32_t value) { m_pageValue = value; }

private:
    void CreatePageWindow(CCommonFormView& page);
    void DeletePages();

    int32_t m_initFlag = 0;
    QPointer<QWidget> m_parentWindow;
    QPointer<QWidget> m_mainWindow;
    // Owned: deleted by DestroyPages. QPointer, because a page window also goes away with
    // its parent window.
    std::vector<QPointer<CCommonFormView>> m_pages;
    AppState* m_appState = nullptr;
    quint32 m_blockId = kDefaultBlockId;
    quint32 m_blockVersion = kDefaultBlockVersion;
    quint32 m_blockSize = 0;
    int32_t m_pageValue = 0;
    int32_t m_currentPage = -1;
    bool m_initialized = false;
    CLangResStore m_texts;
};
