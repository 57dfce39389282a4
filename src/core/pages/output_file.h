#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>

class PluginDataMgr;

// The output file of start mode 4: a 256-byte header, then the data part, which is the
// logo part (when a logo is given) followed by a short command sequence that sets two
// customized settings inside the printer's user-setting mode. All numbers little-endian.
struct OutputFileHeader
{
    uint16_t headerSize; // 256
    uint8_t formatFlag;  // 1
    uint8_t zero3;
    char deviceName[30]; // 8-bit device name, "\r\n", at least one zero
    uint16_t zero34;
    char commentLine[30]; // "\r\n"
    uint16_t zero66;
    char dateTime[20]; // "MM/DD/YYYY hh:mm\r\n"
    uint8_t zero88[32];
    uint8_t logoKind;       // OutputLogoKind
    uint8_t hasCommandPart; // 1 when the command part is present
    uint16_t zero122;
    uint32_t logoLength;    // bytes of the logo part
    uint32_t commandLength; // bytes of the command part
    uint32_t zero132;
    uint32_t dataCrc; // CRC-32/BZIP2 of the data part
    uint8_t zero140[116];
};

static_assert(sizeof(OutputFileHeader) == 256, "OutputFileHeader size");
static_assert(offsetof(OutputFileHeader, headerSize) == 0, "OutputFileHeader layout");
static_assert(offsetof(OutputFileHeader, formatFlag) == 2, "OutputFileHeader layout");
static_assert(offsetof(OutputFileHeader, zero3) == 3, "OutputFileHeader layout");
static_assert(offsetof(OutputFileHeader, deviceName) == 4, "OutputFileHeader layout");
static_assert(offsetof(OutputFileHeader, zero34) == 34, "OutputFileHeader layout");
static_assert(offsetof(OutputFileHeader, commentLine) == 36, "OutputFileHeader layout");
static_assert(offsetof(OutputFileHeader, zero66) == 66, "OutputFileHeader layout");
static_assert(offsetof(OutputFileHeader, dateTime) == 68, "OutputFileHeader layout");
static_assert(offsetof(OutputFileHeader, zero88) == 88, "OutputFileHeader layout");
static_assert(offsetof(OutputFileHeader, logoKind) == 120, "OutputFileHeader layout");
static_assert(offsetof(OutputFileHeader, hasCommandPart) == 121, "OutputFileHeader layout");
static_assert(offsetof(OutputFileHeader, zero122) == 122, "OutputFileHeader layout");
static_assert(offsetof(OutputFileHeader, logoLength) == 124, "OutputFileHeader layout");
static_assert(offsetof(OutputFileHeader, commandLength) == 128, "OutputFileHeader layout");
static_assert(offsetof(OutputFileHeader, zero132) == 132, "OutputFileHeader layout");
static_assert(offsetof(OutputFileHeader, dataCrc) == 136, "OutputFileHeader layout");
static_assert(offsetof(OutputFileHeader, zero140) == 140, "OutputFileHeader layout");

enum OutputLogoKind : uint8_t
{
    kOutputLogoNone = 0,
    kOutputLogoGraphics = 1, // logo data that begins with 1D 28 4C or 1D 38 4C
    kOutputLogoKanji = 2,    // logo data that begins with 1C 71
};

// Results of WriteOutputFile.
inline constexpr int kOutputFileOk = 0;
inline constexpr int kOutputNoPathOrNotFound = -1; // no output path, or a file not found
inline constexpr int kOutputCannotCreate = -2;     // output file cannot be created
inline constexpr int kOutputLogoNotOpened = -3;    // logo file cannot be opened
inline constexpr int kOutputReadFailed = -4;       // logo unreadable, or no command values
inline constexpr int kOutputWriteFailed = -5;      // output file cannot be written
inline constexpr int kOutputLogoRejected = -9;     // logo file is no known logo data
inline constexpr int kOutputOutOfMemory = -11;

// Put before the logo file's own bytes in the logo part.
inline constexpr char kOutputLogoPrefix[10] = {0x1D, 0x28, 0x4C, 0x05, 0x00,
                                               0x30, 0x41, 0x43, 0x4C, 0x52};

// Which file a write that failed concerns (the output file, or the logo file that could not
// be read) and why, in words (English): the second line of the message that shutdown shows.
struct OutputFileFailure
{
    QString path;
    QString cause;
};
// "<path>: <cause>", or the cause alone when no file is concerned.
QString OutputFileFailureLine(const OutputFileFailure& failure);

// CRC-32/BZIP2: polynomial 0x04C11DB7, not reflected, initial value and final XOR
// 0xFFFFFFFF.
quint32 Crc32Bzip2(const QByteArray& data);

// The command part from the customized values 5 and 6 (block 0x10005, offsets 40 and 44):
// enter user-setting mode, set both values, leave user-setting mode. False when the block
// is missing or too short to hold the values.
bool BuildOutputCommandPart(const PluginDataMgr& dataMgr, QByteArray* commands);

// Writes the output file with the results of the description. logoPath is read when
// logoFlag is 1; deviceName goes to the header in code page 437. The file is replaced
// atomically, so a failure never leaves half a file. 0, or one of the negative results
// above.
int WriteOutputFile(const QString& logoPath, const QString& deviceName, const QString& outputPath,
                    int logoFlag, const PluginDataMgr& dataMgr);
// What shutdown does in start mode 4: the logo file goes into the output file when it
// exists (flag 1), otherwise the file is written without a logo (no path, flag 0).
// failure (when given) says what went wrong; it is cleared on success.
int WriteOutputFileAtShutdown(const QString& logoFilePath, const QString& deviceName,
                              const QString& outputPath, const PluginDataMgr& dataMgr,
                              OutputFileFailure* failure = nullptr);
// The same with the local date and time taken from clock, for tests.
int WriteOutputFile(const QString& logoPath, const QString& deviceName, const QString& outputPath,
                    int logoFlag, const PluginDataMgr& dataMgr,
                    const std::function<QDateTime()>& clock, OutputFileFailure* failure = nullptr);
