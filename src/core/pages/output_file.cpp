#include "pages/output_file.h"

#include "pages/cp437_codec.h"
#include "pages/plugin_data_mgr.h"
#include "platform/atomic_file.h"

#include <qpu/data_block.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <new>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// ---- CRC -------------------------------------------------------------------------------

constexpr std::array<quint32, 256> MakeCrcTable()
{
    std::array<quint32, 256> table{};
    for (quint32 i = 0; i < 256; ++i) {
        quint32 crc = i << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
        table[i] = crc;
    }
    return table;
}

constexpr std::array<quint32, 256> kCrcTable = MakeCrcTable();

// ---- Command part ----------------------------------------------------------------------

enum class RowKind
{
    End = 0,
    Plain = 1,     // the command bytes alone
    WithValue = 2, // command, 16-bit length, parameter, 16-bit value
};

// Where a row's value comes from: the 32-bit value at an offset of block 0x10005.
struct ValueSource
{
    qsizetype offset;
};

struct CommandRow
{
    std::optional<ValueSource> source;
    RowKind kind;
    const char* commandHex;
    const char* parameterHex;
};

constexpr ValueSource kCustomizedValue5{40};
constexpr ValueSource kCustomizedValue6{44};

constexpr CommandRow kCommandTable[] = {
    {std::nullopt, RowKind::Plain, "1D2845030001494E", nullptr},   // enter user-setting mode
    {kCustomizedValue5, RowKind::WithValue, "1D2845", "0505"},     // customized value 5
    {kCustomizedValue6, RowKind::WithValue, "1D2845", "0506"},     // customized value 6
    {std::nullopt, RowKind::Plain, "1D28450400024F5554", nullptr}, // leave user-setting mode
    {std::nullopt, RowKind::End, nullptr, nullptr},
};

// Each pair of hexadecimal digits, either case, is one byte. The table is ours, so a
// malformed text is a programming error that the tests catch.
QByteArray HexBytes(const char* hex)
{
    return hex ? QByteArray::fromHex(QByteArray(hex)) : QByteArray();
}

void AppendLittleEndian16(QByteArray& out, quint16 value)
{
    out += char(value & 0xFF);
    out += char(value >> 8);
}

std::optional<quint32> ReadSourceValue(const PluginDataMgr& dataMgr, ValueSource source)
{
    if (dataMgr.BlockSize(QPU_BLOCK_PRINT_SETTINGS_ID) < source.offset + 4)
        return std::nullopt;
    QByteArray block(QPU_BLOCK_PRINT_SETTINGS_SIZE, '\0');
    if (dataMgr.GetBlockData(QPU_BLOCK_PRINT_SETTINGS_ID, block.data(), block.size()) !=
        PluginDataMgr::kOk)
        return std::nullopt;
    return qFromLittleEndian<quint32>(block.constData() + source.offset);
}

// ---- Logo part -------------------------------------------------------------------------

// A descriptor that closes itself. Opened without blocking, so that a path naming a pipe
// or a device is refused instead of hanging the shutdown.
class ReadOnlyFile
{
public:
    explicit ReadOnlyFile(const QString& path)
        : m_fd(path.isEmpty()
                   ? -1
                   : ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK))
    {
        if (path.isEmpty())
            errno = EINVAL;
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    ~ReadOnlyFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int fd() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }

    // Reads exactly size bytes at offset; false on an error or an early end.
    bool readAt(qint64 offset, char* buffer, qint64 size) const
    {
        while (size > 0) {
            const ssize_t got = ::pread(m_fd, buffer, static_cast<size_t>(size), offset);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                if (got == 0)
                    errno = EIO;
                return false;
            }
            buffer += got;
            offset += got;
            size -= got;
        }
        return true;
    }

private:
    int m_fd;
};

// The error of the failing operation decides before the step's own code: a missing file
// and an exhausted memory are reported as such wherever they happen.
int FailureCode(int stepCode)
{
    switch (errno) {
    case ENOENT:
        return kOutputNoPathOrNotFound;
    case ENOMEM:
        return kOutputOutOfMemory;
    default:
        return stepCode;
    }
}

OutputLogoKind LogoKindOf(const char* start)
{
    const auto byte = [start](int i) { return static_cast<unsigned char>(start[i]); };
    if (byte(0) == 0x1D && (byte(1) == 0x28 || byte(1) == 0x38) && byte(2) == 0x4C)
        return kOutputLogoGraphics;
    if (byte(0) == 0x1C && byte(1) == 0x71)
        return kOutputLogoKanji;
    return kOutputLogoNone;
}

// A failure of a step that the system's error explains, with that error in words.
int SystemFailure(int stepCode, const char* what, QString* cause)
{
    const int error = errno;
    *cause = QString::fromLatin1(what) + QStringLiteral(": ") +
             QString::fromLocal8Bit(std::strerror(error)) + QLatin1Char('.');
    errno = error;
    return FailureCode(stepCode);
}

int Failure(int code, const char* why, QString* cause)
{
    *cause = QString::fromLatin1(why);
    return code;
}

constexpr char kLogoUnreadable[] = "The logo file cannot be read";
constexpr char kOutOfMemory[] = "Out of memory.";

// Reads the logo file into the logo part (prefix and the whole file). 0 or a failure code
// with its cause.
int ReadLogoPart(const QString& logoPath, QByteArray* logoPart, OutputLogoKind* kind,
                 QString* cause)
{
    const ReadOnlyFile file(logoPath);
    if (!file.isOpen())
        return SystemFailure(kOutputLogoNotOpened, kLogoUnreadable, cause);
    struct stat info = {};
    if (::fstat(file.fd(), &info) != 0)
        return SystemFailure(kOutputReadFailed, kLogoUnreadable, cause);
    if (!S_ISREG(info.st_mode))
        return Failure(kOutputLogoNotOpened, "The logo file is not a regular file.", cause);
    constexpr char kNoLogo[] = "The logo file holds no logo data of a known kind.";
    const qint64 fileSize = info.st_size;
    if (fileSize < 3)
        return Failure(kOutputLogoRejected, kNoLogo, cause);
    char start[3] = {};
    if (!file.readAt(0, start, sizeof(start)))
        return SystemFailure(kOutputReadFailed, kLogoUnreadable, cause);
    *kind = LogoKindOf(start);
    if (*kind == kOutputLogoNone)
        return Failure(kOutputLogoRejected, kNoLogo, cause);

    const qint64 partSize = fileSize + qint64(sizeof(kOutputLogoPrefix));
    // The header gives the part's length in 32 bits.
    if (partSize > std::numeric_limits<quint32>::max() ||
        partSize > std::numeric_limits<qsizetype>::max())
        return Failure(kOutputOutOfMemory, "The logo file is too large.", cause);
    try {
        logoPart->resize(qsizetype(partSize));
    } catch (const std::bad_alloc&) {
        return Failure(kOutputOutOfMemory, kOutOfMemory, cause);
    }
    std::memcpy(logoPart->data(), kOutputLogoPrefix, sizeof(kOutputLogoPrefix));
    if (!file.readAt(0, logoPart->data() + sizeof(kOutputLogoPrefix), fileSize))
        return SystemFailure(kOutputReadFailed, kLogoUnreadable, cause);
    return kOutputFileOk;
}

// ---- Header ----------------------------------------------------------------------------

template <size_t N> void PutText(char (&field)[N], const QByteArray& text)
{
    std::memcpy(field, text.constData(), std::min<size_t>(N - 1, size_t(text.size())));
}

// The device name is cut so that it, "\r\n" and at least one zero fit the field.
QByteArray DeviceNameLine(const QString& deviceName)
{
    constexpr qsizetype kMaxNameBytes = sizeof(OutputFileHeader::deviceName) - 3;
    return cp437::Encode(deviceName).left(kMaxNameBytes) + "\r\n";
}

QByteArray DateTimeLine(const QDateTime& now)
{
    const QDate date = now.date();
    const QTime time = now.time();
    return QString::asprintf("%02d/%02d/%04d %02d:%02d\r\n", date.month(), date.day(), date.year(),
                             time.hour(), time.minute())
        .toLatin1();
}

// The fixed part of the header and its three text lines.
OutputFileHeader MakeHeader(const QString& deviceName, const QDateTime& now)
{
    OutputFileHeader header;
    std::memset(&header, 0, sizeof(header));
    qToLittleEndian<quint16>(sizeof(header), &header.headerSize);
    header.formatFlag = 1;
    PutText(header.deviceName, DeviceNameLine(deviceName));
    PutText(header.commentLine, QByteArray("\r\n"));
    PutText(header.dateTime, DateTimeLine(now));
    return header;
}

// The output folder must exist and the path must not name anything but a file; what
// fails after that is a failure to write. Empty when the file can be created, else why not.
QString WhyNotCreatable(const QString& outputPath)
{
    const QFileInfo target(outputPath);
    if (target.isDir())
        return QStringLiteral("It is a folder, not a file.");
    if (target.exists() && !target.isFile())
        return QStringLiteral("It is not a regular file.");
    if (!QFileInfo(target.absolutePath()).isDir())
        return QStringLiteral("The folder does not exist.");
    return {};
}

// "cannot write: File too large" reads "Cannot write: File too large."
QString Sentence(QString text)
{
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text.endsWith(QLatin1Char('.')) ? text : text + QLatin1Char('.');
}

} // namespace

quint32 Crc32Bzip2(const QByteArray& data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : data)
        crc = (crc << 8) ^ kCrcTable[((crc >> 24) ^ static_cast<unsigned char>(byte)) & 0xFF];
    return ~crc;
}

bool BuildOutputCommandPart(const PluginDataMgr& dataMgr, QByteArray* commands)
{
    QByteArray out;
    for (const CommandRow& row : kCommandTable) {
        if (row.kind == RowKind::End)
            break;
        std::optional<quint32> value;
        if (row.source) {
            value = ReadSourceValue(dataMgr, *row.source);
            if (!value)
                return false;
        }
        if (row.kind != RowKind::Plain && !value)
            continue;
        out += HexBytes(row.commandHex);
        if (row.kind == RowKind::WithValue) {
            const QByteArray parameter = HexBytes(row.parameterHex);
            AppendLittleEndian16(out, quint16(parameter.size() + 2));
            out += parameter;
            AppendLittleEndian16(out, quint16(*value & 0xFFFF));
        }
    }
    *commands = out;
    return true;
}

int WriteOutputFile(const QString& logoPath, const QString& deviceName, const QString& outputPath,
                    int logoFlag, const PluginDataMgr& dataMgr)
{
    return WriteOutputFile(logoPath, deviceName, outputPath, logoFlag, dataMgr,
                           [] { return QDateTime::currentDateTime(); });
}

QString OutputFileFailureLine(const OutputFileFailure& failure)
{
    if (failure.path.isEmpty())
        return failure.cause;
    return QDir::toNativeSeparators(failure.path) + QStringLiteral(": ") + failure.cause;
}

int WriteOutputFileAtShutdown(const QString& logoFilePath, const QString& deviceName,
                              const QString& outputPath, const PluginDataMgr& dataMgr,
                              OutputFileFailure* failure)
{
    const bool hasLogo = !logoFilePath.isEmpty() && QFileInfo::exists(logoFilePath);
    return WriteOutputFile(
        hasLogo ? logoFilePath : QString(), deviceName, outputPath, hasLogo ? 1 : 0, dataMgr,
        [] { return QDateTime::currentDateTime(); }, failure);
}

namespace {

int WriteOutputFileOrSayWhy(const QString& logoPath, const QString& deviceName,
                            const QString& outputPath, int logoFlag, const PluginDataMgr& dataMgr,
                            const std::function<QDateTime()>& clock, OutputFileFailure* why)
{
    if (outputPath.isEmpty())
        return Failure(kOutputNoPathOrNotFound, "No output file was named.", &why->cause);

    QByteArray dataPart;
    OutputLogoKind logoKind = kOutputLogoNone;
    if (logoFlag == 1) {
        const int result = ReadLogoPart(logoPath, &dataPart, &logoKind, &why->cause);
        if (result != kOutputFileOk) {
            why->path = logoPath;
            return result;
        }
    }
    const quint32 logoLength = quint32(dataPart.size());

    QByteArray commands;
    if (!BuildOutputCommandPart(dataMgr, &commands))
        return Failure(kOutputReadFailed, "The print settings that the file carries are missing.",
                       &why->cause);
    try {
        dataPart += commands;
    } catch (const std::bad_alloc&) {
        return Failure(kOutputOutOfMemory, kOutOfMemory, &why->cause);
    }

    OutputFileHeader header =
        MakeHeader(deviceName, clock ? clock() : QDateTime::currentDateTime());
    header.logoKind = logoKind;
    header.hasCommandPart = 1;
    qToLittleEndian<quint32>(logoLength, &header.logoLength);
    qToLittleEndian<quint32>(quint32(commands.size()), &header.commandLength);
    qToLittleEndian<quint32>(Crc32Bzip2(dataPart), &header.dataCrc);

    why->cause = WhyNotCreatable(outputPath);
    if (!why->cause.isEmpty())
        return kOutputCannotCreate;
    QByteArray file;
    try {
        file = QByteArray(reinterpret_cast<const char*>(&header), sizeof(header)) + dataPart;
    } catch (const std::bad_alloc&) {
        return Failure(kOutputOutOfMemory, kOutOfMemory, &why->cause);
    }
    QString error;
    if (!platform::WriteFileAtomically(outputPath, file, &error)) {
        why->cause = Sentence(error);
        return kOutputWriteFailed;
    }
    return kOutputFileOk;
}

} // namespace

int WriteOutputFile(const QString& logoPath, const QString& deviceName, const QString& outputPath,
                    int logoFlag, const PluginDataMgr& dataMgr,
                    const std::function<QDateTime()>& clock, OutputFileFailure* failure)
{
    OutputFileFailure ignored;
    OutputFileFailure& why = failure != nullptr ? *failure : ignored;
    why = {outputPath, {}};
    const int result =
        WriteOutputFileOrSayWhy(logoPath, deviceName, outputPath, logoFlag, dataMgr, clock, &why);
    if (result == kOutputFileOk)
        why = {};
    return result;
}
