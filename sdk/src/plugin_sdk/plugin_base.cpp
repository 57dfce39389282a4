#include <qpu/plugin_sdk/plugin_base.h>

#include <QMetaObject>

#include <algorithm>
#include <cstring>

namespace qpu::sdk {

SettingPagePlugin::~SettingPagePlugin() = default;

QString SettingPagePlugin::MenuName(const QString&) const
{
    return {};
}

QString SettingPagePlugin::LanguageString(const QString& window, int number,
                                          const QString& english) const
{
    LangTexts texts;
    texts.Load(m_context.state, {window});
    return texts.String(window, number, english);
}

int32_t SettingPagePlugin::Initialize(void* mainFrame, void* pagePane, AppState* state)
{
    if (m_initialised)
        return kPluginAlreadyInitialised;
    if (state == nullptr)
        return kPrinterBadArgument;
    m_context.mainFrame = static_cast<QWidget*>(mainFrame);
    m_context.pagePane = static_cast<QWidget*>(pagePane);
    m_context.state = state;
    // Without the data manager the page would have nothing to show or keep.
    if (!m_context.Blocks().Available())
        return kDataMgrUnavailable;
    m_initialised = true;
    return 0;
}

int32_t SettingPagePlugin::GetMenuName(const QpuChar16* key, int32_t keyLength, QpuChar16* buffer,
                                       int32_t bufferLength, int32_t* required) const
{
    if (keyLength < 0)
        return kPrinterBadArgument;
    const QString keyText = key ? QString::fromUtf16(key, keyLength) : QString();
    const QString name = MenuName(keyText);
    if (name.isEmpty())
        return -1;
    const int32_t needed = static_cast<int32_t>(name.size()) + 1;
    if (buffer == nullptr || bufferLength < needed) {
        if (required)
            *required = needed;
        return QPU_PLUGIN_BUFFER_TOO_SMALL;
    }
    std::memcpy(buffer, name.utf16(), size_t(name.size()) * sizeof(QpuChar16));
    buffer[name.size()] = 0;
    if (required)
        *required = needed;
    return 0;
}

int32_t SettingPagePlugin::GetPluginInfo(PluginInfo* info) const
{
    if (info == nullptr)
        return kPrinterBadArgument;
    *info = Info();
    return 0;
}

int32_t SettingPagePlugin::GetDependPluginData(PluginInfo* list, int32_t* count) const
{
    if (count == nullptr)
        return kPrinterBadArgument;
    const std::vector<PluginInfo> depends = Dependencies();
    if (list == nullptr) {
        *count = static_cast<int32_t>(depends.size());
        return 0;
    }
    const size_t n = std::min(depends.size(), size_t(std::max(*count, 0)));
    std::copy_n(depends.begin(), n, list);
    *count = static_cast<int32_t>(n);
    return 0;
}

int32_t SettingPagePlugin::SetDefaultData(uint32_t blockId)
{
    if (!m_initialised)
        return kPluginNotInitialised;
    return WriteDefaults(blockId);
}

int32_t SettingPagePlugin::ChangeMenuState(int32_t state)
{
    if (!m_initialised)
        return kPluginNotInitialised;
    switch (state) {
    case QPU_MENU_STATE_ENTER:
        if (m_page.isNull()) {
            std::unique_ptr<PageBase> page = CreatePage();
            m_page = page.release(); // owned by the page pane from here on
        }
        if (m_page) {
            m_page->Reload();
            m_page->show();
            m_page->raise();
        }
        return 0;
    case QPU_MENU_STATE_LEAVE: {
        if (m_page.isNull() || m_page->isHidden())
            return 0;
        const int32_t answer = m_page->AskBeforeLeaving();
        if (answer == 0 && m_page)
            m_page->hide();
        return answer;
    }
    case QPU_MENU_STATE_RESELECT:
        return 0;
    default:
        return kPrinterBadArgument;
    }
}

int32_t SettingPagePlugin::ReadPrinterSettings()
{
    if (!m_initialised)
        return kPluginNotInitialised;
    const int32_t result = ReadFromPrinter();
    // The page shows what was read, unless the user is in the middle of changing it.
    if (QPointer<PageBase> page = m_page) {
        QMetaObject::invokeMethod(
            page.data(),
            [page] {
                if (page && !page->HasUnsavedChanges())
                    page->Reload();
            },
            Qt::QueuedConnection);
    }
    return result;
}

int32_t SettingPagePlugin::Finalize()
{
    delete m_page.data();
    m_page.clear();
    m_context = {};
    m_initialised = false;
    return 0;
}

void* SettingPagePlugin::ActiveView() const
{
    return m_page.data();
}

} // namespace qpu::sdk
