// Byte layouts of the records shared with the libraries and plug-ins, checked by writing
// fields and reading the bytes at the documented offsets.
#include "app/fixed_text.h"

#include <qpu/app_state.h>
#include <qpu/comm_lib.h>
#include <qpu/data_block.h>
#include <qpu/plugin.h>
#include <qpu/port_info.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

constexpr size_t kPtr = sizeof(void*);

// Offset of an AppState field that follows `pointerSlots` pointer fields, from its 32-bit offset.
constexpr size_t Moved(size_t offset32, size_t pointerSlots)
{
    return offset32 + pointerSlots * (kPtr - 4);
}

template <typename Record> std::vector<uint8_t> Bytes(const Record& record)
{
    std::vector<uint8_t> bytes(sizeof record);
    std::memcpy(bytes.data(), &record, sizeof record);
    return bytes;
}

// The little-endian 32-bit value at offset.
uint32_t U32At(const std::vector<uint8_t>& bytes, size_t offset)
{
    return uint32_t{bytes.at(offset)} | uint32_t{bytes.at(offset + 1)} << 8 |
           uint32_t{bytes.at(offset + 2)} << 16 | uint32_t{bytes.at(offset + 3)} << 24;
}

void* PtrAt(const std::vector<uint8_t>& bytes, size_t offset)
{
    void* value = nullptr;
    EXPECT_LE(offset + kPtr, bytes.size());
    std::memcpy(&value, bytes.data() + offset, kPtr);
    return value;
}

// The UTF-16LE text starting at offset, up to its zero unit.
QString TextAt(const std::vector<uint8_t>& bytes, size_t offset)
{
    QString text;
    for (size_t at = offset; at + 1 < bytes.size(); at += 2) {
        const char16_t unit = static_cast<char16_t>(bytes[at] | bytes[at + 1] << 8);
        if (unit == 0)
            break;
        text += QChar(unit);
    }
    return text;
}

} // namespace

TEST(Layout, AppStateFixedPart)
{
    auto state = std::make_unique<AppState>();
    std::memset(state.get(), 0, sizeof *state);
    state->languageId = 0x0411;
    ASSERT_TRUE(SetFixedText(state->languageIdText, QStringLiteral("0411")));
    state->portType = PortTypeEthernet;
    ASSERT_TRUE(SetFixedText(state->portInfo.portName, QStringLiteral("192.168.0.5")));
    ASSERT_TRUE(SetFixedText(state->portInfo.deviceName, QStringLiteral("QP-R60")));
    state->startMode = 110;
    ASSERT_TRUE(SetFixedText(state->driverPortName, QStringLiteral("VSDPRT1")));
    ASSERT_TRUE(SetFixedText(state->printerName, QStringLiteral("Front desk")));
    ASSERT_TRUE(SetFixedText(state->portPath, QStringLiteral("a/b/VSDPRT1")));
    state->callerType = 4;
    state->hostCode = QPU_HOST_CODE;

    const std::vector<uint8_t> bytes = Bytes(*state);
    EXPECT_EQ(U32At(bytes, 0), 0x0411u);
    EXPECT_EQ(TextAt(bytes, 4), QStringLiteral("0411"));
    EXPECT_EQ(U32At(bytes, 524), 4u);
    EXPECT_EQ(TextAt(bytes, 528 + 520), QStringLiteral("192.168.0.5"));
    EXPECT_EQ(TextAt(bytes, 528 + 2092), QStringLiteral("QP-R60"));
    EXPECT_EQ(U32At(bytes, 6292), 110u);
    EXPECT_EQ(TextAt(bytes, 6296), QStringLiteral("VSDPRT1"));
    EXPECT_EQ(TextAt(bytes, 6816), QStringLiteral("Front desk"));
    EXPECT_EQ(TextAt(bytes, 7336), QStringLiteral("a/b/VSDPRT1"));
    EXPECT_EQ(U32At(bytes, 7856), 4u);
    EXPECT_EQ(U32At(bytes, 7860), 203u);
    // The reserved area stays zero.
    for (size_t at = 7864; at < 7864 + 576; ++at)
        ASSERT_EQ(bytes[at], 0) << at;
}

TEST(Layout, AppStatePointersAndMovedPart)
{
    auto state = std::make_unique<AppState>();
    std::memset(state.get(), 0, sizeof *state);
    CommLibTable table{};
    int dataMgr = 0;
    pthread_mutex_t lock;
    state->commLib = &table;
    state->dataMgr = &dataMgr;
    state->appLock = &lock;
    ASSERT_TRUE(SetFixedText(state->programFolder, QStringLiteral("/opt/qp60util/")));
    ASSERT_TRUE(SetFixedText(state->tempFolder, QStringLiteral("/var/lib/VORKA/QP60Utl/TMP")));
    ASSERT_TRUE(SetFixedText(state->settingsFolder, QStringLiteral("/var/lib/VORKA/QP60Utl")));
    ASSERT_TRUE(SetFixedText(state->languageFolder, QStringLiteral("/opt/qp60util/LANG")));
    ASSERT_TRUE(SetFixedText(state->outputFile, QStringLiteral("/tmp/out.dat")));
    ASSERT_TRUE(SetFixedText(state->logoFile, QStringLiteral("R60LOGO.qlg")));
    int32_t value = 1;
    for (int32_t* field : {&state->enableFlexibleFont, &state->enableFontA, &state->enableFontB,
                           &state->enableIFSelect, &state->autoKeycodeNumbering, &state->wmSupport,
                           &state->arpSupport, &state->enableBTSearch, &state->feature100Supported,
                           &state->enableAutoRestore, &state->command1_14_48Enabled})
        *field = value++;
    for (int i = 0; i < QPU_COMM_IF_SLOTS; ++i)
        state->commIfSlots[i] = 20 + i;
    state->defaultCommIf = 2;
    state->deviceId = 0x12345678;

    const std::vector<uint8_t> bytes = Bytes(*state);
    EXPECT_EQ(sizeof(AppState), Moved(11648, 3));
    EXPECT_EQ(PtrAt(bytes, 8440), &table);
    EXPECT_EQ(PtrAt(bytes, Moved(8444, 1)), &dataMgr);
    EXPECT_EQ(TextAt(bytes, Moved(8448, 2)), QStringLiteral("/opt/qp60util/"));
    EXPECT_EQ(TextAt(bytes, Moved(8968, 2)), QStringLiteral("/var/lib/VORKA/QP60Utl/TMP"));
    EXPECT_EQ(TextAt(bytes, Moved(9488, 2)), QStringLiteral("/var/lib/VORKA/QP60Utl"));
    EXPECT_EQ(TextAt(bytes, Moved(10008, 2)), QStringLiteral("/opt/qp60util/LANG"));
    EXPECT_EQ(TextAt(bytes, Moved(10528, 2)), QStringLiteral("/tmp/out.dat"));
    EXPECT_EQ(TextAt(bytes, Moved(11048, 2)), QStringLiteral("R60LOGO.qlg"));
    EXPECT_EQ(PtrAt(bytes, Moved(11568, 2)), &lock);
    for (uint32_t i = 0; i < 11; ++i)
        EXPECT_EQ(U32At(bytes, Moved(11572 + 4 * i, 3)), i + 1) << "switch " << i;
    for (uint32_t i = 0; i < QPU_COMM_IF_SLOTS; ++i)
        EXPECT_EQ(U32At(bytes, Moved(11616 + 4 * i, 3)), 20 + i);
    EXPECT_EQ(U32At(bytes, Moved(11636, 3)), 2u);
    EXPECT_EQ(U32At(bytes, Moved(11640, 3)), 0u);
    EXPECT_EQ(U32At(bytes, Moved(11644, 3)), 0x12345678u);

    if (kPtr == 8) {
        // The 64-bit offsets written down in the header.
        EXPECT_EQ(sizeof(AppState), 11660u);
        EXPECT_EQ(offsetof(AppState, dataMgr), 8448u);
        EXPECT_EQ(offsetof(AppState, programFolder), 8456u);
        EXPECT_EQ(offsetof(AppState, appLock), 11576u);
        EXPECT_EQ(offsetof(AppState, enableFlexibleFont), 11584u);
        EXPECT_EQ(offsetof(AppState, deviceId), 11656u);
    }
}

TEST(Layout, PortInfoRecord)
{
    auto port = std::make_unique<PortInfo>();
    std::memset(port.get(), 0, sizeof *port);
    ASSERT_TRUE(SetFixedText(port->interfaceKeyword, QStringLiteral(QPU_PORT_KEYWORD_SERIAL)));
    ASSERT_TRUE(SetFixedText(port->portName, QStringLiteral("/dev/ttyS0")));
    port->reserved1 = -1;
    port->reserved2 = -1;
    port->driverPortFlag = 1;
    ASSERT_TRUE(SetFixedText(port->driverPortPath, QStringLiteral("x/VSDPRT1")));
    port->usbDeviceId[0] = 0xAB;
    port->unused1[0] = 0xCD;
    ASSERT_TRUE(SetFixedText(port->deviceName, QStringLiteral("QP-R60II")));
    port->serialParamsPresent = 1;
    port->dataBitsCode = 8;
    port->baudRateCode = 115200;
    port->parityCode = 2;
    port->unused2[3131] = 0xEF;
    port->origin = QPU_PORT_ORIGIN_DRIVER_PRINTER;

    const std::vector<uint8_t> bytes = Bytes(*port);
    ASSERT_EQ(bytes.size(), 5764u);
    EXPECT_EQ(TextAt(bytes, 0), QStringLiteral("COM"));
    EXPECT_EQ(TextAt(bytes, 520), QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(U32At(bytes, 1040), 0xFFFFFFFFu);
    EXPECT_EQ(U32At(bytes, 1044), 0xFFFFFFFFu);
    EXPECT_EQ(U32At(bytes, 1048), 1u);
    EXPECT_EQ(TextAt(bytes, 1052), QStringLiteral("x/VSDPRT1"));
    EXPECT_EQ(bytes[1572], 0xAB);
    EXPECT_EQ(bytes[1832], 0xCD);
    EXPECT_EQ(TextAt(bytes, 2092), QStringLiteral("QP-R60II"));
    EXPECT_EQ(U32At(bytes, 2612), 1u);
    EXPECT_EQ(U32At(bytes, 2616), 8u);
    EXPECT_EQ(U32At(bytes, 2620), 115200u);
    EXPECT_EQ(U32At(bytes, 2624), 2u);
    EXPECT_EQ(bytes[2628 + 3131], 0xEF);
    EXPECT_EQ(U32At(bytes, 5760), 3u);
}

TEST(Layout, CommLibTableSlots)
{
    CommLibTable table{};
    int module = 0;
    table.module = &module;
    table.EnumPort = [](PortInfo**, uint32_t, uint32_t*) { return int32_t{1}; };
    table.Open = [](int32_t) { return int32_t{7}; };
    table.CommunicationTest = [](PortInfo*) { return int32_t{17}; };
    table.Terminate = [] { return int32_t{27}; };
    table.SetModelType = [](int32_t) { return int32_t{36}; };
    table.IsEnableCommand = [](int32_t, int32_t, int32_t, int32_t*) { return int32_t{44}; };
    table.GetCaller = [](int32_t*) { return int32_t{46}; };

    const std::vector<uint8_t> bytes = Bytes(table);
    ASSERT_EQ(bytes.size(), 47 * kPtr);
    EXPECT_EQ(PtrAt(bytes, 0), &module);
    EXPECT_EQ(PtrAt(bytes, 1 * kPtr), reinterpret_cast<void*>(table.EnumPort));
    EXPECT_EQ(PtrAt(bytes, 7 * kPtr), reinterpret_cast<void*>(table.Open));
    EXPECT_EQ(PtrAt(bytes, 17 * kPtr), reinterpret_cast<void*>(table.CommunicationTest));
    EXPECT_EQ(PtrAt(bytes, 27 * kPtr), reinterpret_cast<void*>(table.Terminate));
    EXPECT_EQ(PtrAt(bytes, 36 * kPtr), reinterpret_cast<void*>(table.SetModelType));
    EXPECT_EQ(PtrAt(bytes, 44 * kPtr), reinterpret_cast<void*>(table.IsEnableCommand));
    EXPECT_EQ(PtrAt(bytes, 46 * kPtr), reinterpret_cast<void*>(table.GetCaller));
    // Every other slot is still empty.
    size_t filled = 0;
    for (size_t slot = 0; slot < 47; ++slot)
        filled += PtrAt(bytes, slot * kPtr) != nullptr;
    EXPECT_EQ(filled, 8u);
}

TEST(Layout, PluginInfoAndBlockHeader)
{
    const PluginInfo info{0x10005u, 0x10000u, 152};
    std::vector<uint8_t> bytes = Bytes(info);
    ASSERT_EQ(bytes.size(), 12u);
    EXPECT_EQ(U32At(bytes, 0), 0x10005u);
    EXPECT_EQ(U32At(bytes, 4), 0x10000u);
    EXPECT_EQ(U32At(bytes, 8), 152u);

    DataBlockHeader header{};
    std::memcpy(header.magic, "PND", 4);
    header.id = QPU_BLOCK_PRINTER_INFO_ID;
    header.version = QPU_BLOCK_PRINTER_INFO_VERSION;
    header.totalSize = QPU_BLOCK_PRINTER_INFO_SIZE;
    bytes = Bytes(header);
    ASSERT_EQ(bytes.size(), 32u);
    const std::vector<uint8_t> expected = {
        'P', 'N', 'D', 0, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0xE0, 0x03, 0x00, 0x00,
        0,   0,   0,   0, 0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0};
    EXPECT_EQ(bytes, expected);
}

TEST(FixedText, StoresUpTo259UnitsAndRefusesMore)
{
    QpuChar16 field[QPU_TEXT_UNITS];
    std::fill(std::begin(field), std::end(field), u'#');
    const QString longest(QPU_TEXT_MAX_CHARS, u'x');
    ASSERT_TRUE(SetFixedText(field, longest));
    EXPECT_EQ(field[258], u'x');
    EXPECT_EQ(field[259], u'\0');
    EXPECT_EQ(FixedText(field), longest);

    // One unit more would lose its last character: refused, field unchanged.
    EXPECT_FALSE(SetFixedText(field, longest + QLatin1Char('y')));
    EXPECT_EQ(FixedText(field), longest);

    // An embedded zero would end the text early: refused too.
    EXPECT_FALSE(SetFixedText(field, QStringLiteral("ab") + QChar(0) + QStringLiteral("cd")));
    EXPECT_EQ(FixedText(field), longest);
}

TEST(FixedText, ShorterTextClearsTheRestAndSurrogatesCountTwice)
{
    QpuChar16 field[QPU_TEXT_UNITS];
    ASSERT_TRUE(SetFixedText(field, QString(200, u'a')));
    ASSERT_TRUE(SetFixedText(field, QStringLiteral("b")));
    EXPECT_TRUE(std::all_of(field + 1, field + QPU_TEXT_UNITS, [](QpuChar16 u) { return u == 0; }));
    EXPECT_EQ(FixedText(field), QStringLiteral("b"));
    ASSERT_TRUE(SetFixedText(field, QString()));
    EXPECT_TRUE(FixedText(field).isEmpty());

    QString wide;
    for (int i = 0; i < 130; ++i)
        wide += QString::fromUcs4(U"\U0001F5A8");
    EXPECT_FALSE(SetFixedText(field, wide)); // 260 units
    wide.chop(2);
    wide += QLatin1Char('z');
    ASSERT_TRUE(SetFixedText(field, wide)); // 259 units
    EXPECT_EQ(FixedText(field), wide);
}

TEST(FixedText, UnterminatedFieldIsReadToItsEndOnly)
{
    QpuChar16 field[QPU_TEXT_UNITS + 1];
    std::fill(std::begin(field), std::end(field), u'q');
    QpuChar16(&fixed)[QPU_TEXT_UNITS] = *reinterpret_cast<QpuChar16(*)[QPU_TEXT_UNITS]>(field);
    EXPECT_EQ(FixedText(fixed).size(), QPU_TEXT_UNITS);
}
