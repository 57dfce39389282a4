#include "pages/form_view_ctrl.h"

#include "app/fixed_text.h"
#include "pages/common_form_view.h"
#include "pages/setting_data.h"

#include <algorithm>

CFormViewCtrl::CFormViewCtrl() = default;

CFormViewCtrl::~CFormViewCtrl()
{
    // Pages that a derived controller added without Initialize go as well.
    DeletePages();
}

int CFormViewCtrl::Initialize(AppState* appState, QWidget* mainWindow, QWidget* parentWindow)
{
    m_appState = appState;
    if (m_initialized)
        return kAlreadyInitialized;
    if (const int check = CheckBeforeInit(); check != 0)
        return check;
    m_parentWindow = parentWindow;
    m_mainWindow = mainWindow;
    OnInit();
    CreatePages();
    for (auto& page : m_pages) {
        if (!page.isNull())
            CreatePageWindow(*page);
    }
    m_currentPage = 0;
    m_initialized = true;

    if (m_appState != nullptr) {
        m_texts.Open(FixedText(m_appState->languageFolder), m_appState->languageId,
                     CLangResStore::kFallbackLangId);
    }
    // Loaded whatever Open answered: without a file the store stays empty.
    m_texts.LoadSections(QLatin1String(kCommonWindowName));
    return kOk;
}

void CFormViewCtrl::CreatePageWindow(CCommonFormView& page)
{
    page.SetContext(FormViewContext{m_appState, m_mainWindow, m_blockId, m_pageValue});
    page.setParent(m_parentWindow.data());
    if (m_parentWindow)
        page.setGeometry(m_parentWindow->rect());
    page.setProperty("controlId", page.TemplateId());
    page.hide();
    if (page.OnCreate() == -1)
        delete &page; // the window could not be created; the entry becomes empty
}

int CFormViewCtrl::DestroyPages()
{
    if (!m_initialized)
        return kNotInitialized;
    DeletePages();
    return kOk;
}

void CFormViewCtrl::DeletePages()
{
    while (!m_pages.empty()) {
        delete m_pages.front().data();
        m_pages.erase(m_pages.begin());
    }
}

int CFormViewCtrl::InitSettingData(quint32 /*blockId*/)
{
    return 1;
}

int CFormViewCtrl::GetDependPluginData(PluginInfo* /*list*/, int32_t* count)
{
    if (count != nullptr)
        *count = 0;
    return 1;
}

std::vector<PluginInfo> CFormViewCtrl::DependencyBlocks()
{
    int32_t count = 0;
    GetDependPluginData(nullptr, &count);
    if (count <= 0)
        return {};
    std::vector<PluginInfo> blocks(static_cast<size_t>(count));
    int32_t filled = count;
    GetDependPluginData(blocks.data(), &filled);
    blocks.resize(static_cast<size_t>(std::clamp(filled, 0, count)));
    return blocks;
}

int CFormViewCtrl::CheckBeforeInit()
{
    return 0;
}

void CFormViewCtrl::OnInit()
{
    m_initFlag = 0;
}

void CFormViewCtrl::CreatePages() {}

void CFormViewCtrl::GetBlockHeader(DataBlockHeader* header) const
{
    MakeBlockHeader(header, m_blockId, m_blockVersion, m_blockSize);
}

void CFormViewCtrl::MakeBlockHeader(DataBlockHeader* header, quint32 id, quint32 version,
                                    quint32 sizeBytes) const
{
    ::MakeBlockHeader(header, id, version, sizeBytes);
}

CCommonFormView* CFormViewCtrl::Page(int index) const
{
    if (index < 0 || index >= PageCount())
        return nullptr;
    return m_pages[static_cast<size_t>(index)].data();
}

void CFormViewCtrl::AddPage(std::unique_ptr<CCommonFormView> page)
{
    m_pages.emplace_back(page.release());
}

void CFormViewCtrl::SetBlockDescription(quint32 id, quint32 version, quint32 sizeBytes)
{
    m_blockId = id;
    m_blockVersion = version;
    m_blockSize = sizeBytes;
}
