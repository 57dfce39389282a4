#include "pages/printer_info_block.h"

#include "pages/plugin_data_mgr.h"

#include <QByteArray>
#include <QtEndian>

#include <gtest/gtest.h>

namespace {

QByteArray U32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

// The default block, byte for byte: header, five empty texts, zeros, read flag 0, 80, 180.
QByteArray ExpectedDefaultBlock()
{
    QByteArray bytes = QByteArray("PND", 4) + U32(0x10001) + U32(0x10000) + U32(992);
    bytes += QByteArray(16, '\0');
    bytes += QByteArray(5 * 180, '\0');
    bytes += QByteArray(44, '\0');
    bytes += U32(0) + U32(0) + U32(80) + U32(180);
    return bytes;
}

QByteArray Utf16Field(const QString& text)
{
    QByteArray bytes(180, '\0');
    for (qsizetype i = 0; i < text.size(); ++i)
        qToLittleEndian<quint16>(text[i].unicode(), bytes.data() + 2 * i);
    return bytes;
}

QByteArray Stored(const PluginDataMgr& mgr)
{
    QByteArray bytes(992, '\x55');
    EXPECT_EQ(mgr.GetBlockData(0x10001, bytes.data(), bytes.size()), 0);
    return bytes;
}

TEST(PrinterInfoBlock, DefaultBlockBytes)
{
    ASSERT_EQ(ExpectedDefaultBlock().size(), 992);
    EXPECT_EQ(ToBytes(DefaultPrinterInfoBlock()).toHex(), ExpectedDefaultBlock().toHex());
}

TEST(PrinterInfoBlock, RegisterAddsDefaultsButKeepsARestoredBlock)
{
    PluginDataMgr mgr;
    ASSERT_EQ(RegisterPrinterInfoBlock(mgr), 0);
    EXPECT_EQ(mgr.BlockCount(), 1);
    EXPECT_EQ(Stored(mgr), ExpectedDefaultBlock());

    PrinterInfoBlock block = DefaultPrinterInfoBlock();
    SetText(block, PrinterInfoText::ModelName, "QP-R60");
    ASSERT_EQ(WritePrinterInfoBlock(mgr, block), 0);
    ASSERT_EQ(RegisterPrinterInfoBlock(mgr), 0);
    EXPECT_EQ(mgr.BlockCount(), 1);
    EXPECT_EQ(Stored(mgr), ToBytes(block)) << "a registered block keeps its values";

    ASSERT_EQ(WriteDefaultPrinterInfoBlock(mgr), 0);
    EXPECT_EQ(Stored(mgr), ExpectedDefaultBlock());
}

TEST(PrinterInfoBlock, MissingBlock)
{
    PluginDataMgr mgr;
    PrinterInfoBlock block = DefaultPrinterInfoBlock();
    SetText(block, PrinterInfoText::SerialNumber, "keep");
    EXPECT_FALSE(ReadPrinterInfoBlock(mgr, &block));
    EXPECT_EQ(Text(block, PrinterInfoText::SerialNumber), "keep");
    EXPECT_EQ(WritePrinterInfoBlock(mgr, block), -1);
    EXPECT_EQ(WriteDefaultPrinterInfoBlock(mgr), -1);
}

TEST(PrinterInfoBlock, PrinterInformationFillsEveryFieldAndTheReadFlag)
{
    PrinterInformation info = {};
    info.texts[0] = "SN-00042";
    info.texts[1] = "QP-R60";
    info.texts[2] = "VORKA";
    info.texts[3] = "30.00 ESC/VRK-A";
    info.texts[4] = "Caf\x82 \xE1"; // code page 437: e acute, sharp s
    PrinterInfoBlock block = DefaultPrinterInfoBlock();
    SetText(block, PrinterInfoText::CharacterSet, QString(80, 'x'));
    ApplyPrinterInformation(block, info);

    const QByteArray bytes = ToBytes(block);
    EXPECT_EQ(bytes.mid(32, 180), Utf16Field("SN-00042"));
    EXPECT_EQ(bytes.mid(212, 180), Utf16Field("QP-R60"));
    EXPECT_EQ(bytes.mid(392, 180), Utf16Field("VORKA"));
    EXPECT_EQ(bytes.mid(572, 180), Utf16Field("30.00 ESC/VRK-A"));
    EXPECT_EQ(bytes.mid(752, 180), Utf16Field(QStringLiteral(u"Café ß")))
        << "the longer former text is cleared";
    EXPECT_EQ(bytes.mid(976, 4), U32(1));
    EXPECT_EQ(bytes.mid(984, 8), U32(80) + U32(180));

    PluginDataMgr mgr;
    ASSERT_EQ(RegisterPrinterInfoBlock(mgr), 0);
    ASSERT_EQ(WritePrinterInfoBlock(mgr, block), 0);
    PrinterInfoBlock read = DefaultPrinterInfoBlock();
    ASSERT_TRUE(ReadPrinterInfoBlock(mgr, &read));
    EXPECT_EQ(Text(read, PrinterInfoText::FirmwareText), "30.00 ESC/VRK-A");
    EXPECT_EQ(Text(read, PrinterInfoText::ModelName), "QP-R60");
}

TEST(PrinterInfoBlock, NullTextsAreEmpty)
{
    PrinterInformation info = {};
    info.texts[1] = "QP-R60";
    PrinterInfoBlock block = DefaultPrinterInfoBlock();
    SetText(block, PrinterInfoText::SerialNumber, "old");
    ApplyPrinterInformation(block, info);
    EXPECT_EQ(Text(block, PrinterInfoText::SerialNumber), QString());
    EXPECT_EQ(Text(block, PrinterInfoText::ModelName), "QP-R60");
}

TEST(PrinterInfoBlock, LongTextsAreCutWithTheZeroInTheField)
{
    PrinterInfoBlock block = DefaultPrinterInfoBlock();
    const QByteArray longText(200, 'A');
    SetText8Bit(block, PrinterInfoText::ModelName, longText.constData());
    EXPECT_EQ(Text(block, PrinterInfoText::ModelName), QString(89, 'A'));
    const QByteArray bytes = ToBytes(block);
    EXPECT_EQ(bytes.mid(212 + 178, 2), QByteArray(2, '\0'));
    EXPECT_EQ(bytes.mid(392, 180), QByteArray(180, '\0')) << "the next field is untouched";

    // A character outside the basic plane is never cut in half.
    const QString withPair = QString(88, 'a') + QStringLiteral(u"\U0001F600");
    SetText(block, PrinterInfoText::SerialNumber, withPair);
    EXPECT_EQ(Text(block, PrinterInfoText::SerialNumber), QString(88, 'a'));
    SetText(block, PrinterInfoText::SerialNumber, QString(87, 'a') + QStringLiteral(u"\U0001F600"));
    EXPECT_EQ(Text(block, PrinterInfoText::SerialNumber).size(), 89);
}

TEST(PrinterInfoBlock, FieldWithoutZeroReadsNinetyUnits)
{
    QByteArray bytes = ExpectedDefaultBlock();
    for (int i = 0; i < 90; ++i)
        qToLittleEndian<quint16>('S', bytes.data() + 32 + 2 * i);
    PrinterInfoBlock block;
    ASSERT_TRUE(FromBytes(bytes, &block));
    EXPECT_EQ(Text(block, PrinterInfoText::SerialNumber), QString(90, 'S'));
    EXPECT_EQ(Text(block, PrinterInfoText::ModelName), QString());
    EXPECT_FALSE(FromBytes(bytes.left(991), &block));
}

} // namespace
