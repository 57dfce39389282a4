#include "platform/profile.h"

#include "platform/atomic_file.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

// Files larger than this are not profiles; they read as missing and are never rewritten.
constexpr qsizetype kMaxProfileBytes = 64 * 1024 * 1024;

enum class Encoding
{
    EightBit,
    Utf16Le
};

// ---------------------------------------------------------------------------------------
// Raw file: the bytes, the encoding and where each line lies, so that an edit can
// change one line and keep every other byte.

struct RawLine
{
    qsizetype begin = 0;    // first byte of the line
    qsizetype end = 0;      // first byte of the line break (or end of file)
    qsizetype breakEnd = 0; // byte after the whole run of CR/LF that ends the line
    QString text;           // the decoded line, untrimmed
};

struct RawFile
{
    QByteArray bytes;
    Encoding encoding = Encoding::EightBit;
    qsizetype bodyBegin = 0; // after the byte-order mark
    std::vector<RawLine> lines;
};

bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f';
}

QStringView trimmed(QStringView s)
{
    qsizetype first = 0;
    qsizetype last = s.size();
    while (first < last && isBlank(s[first].unicode()))
        ++first;
    while (last > first && isBlank(s[last - 1].unicode()))
        --last;
    return s.sliced(first, last - first);
}

QStringView leftTrimmed(QStringView s)
{
    qsizetype first = 0;
    while (first < s.size() && isBlank(s[first].unicode()))
        ++first;
    return s.sliced(first);
}

QStringView rightTrimmed(QStringView s)
{
    qsizetype last = s.size();
    while (last > 0 && isBlank(s[last - 1].unicode()))
        --last;
    return s.first(last);
}

// Decodes UTF-8; a byte that does not start a valid sequence stands for itself (Latin-1).
QString decodeEightBit(const char* data, qsizetype size)
{
    if (std::all_of(data, data + size, [](char c) { return (c & 0x80) == 0; }))
        return QString::fromLatin1(data, size);
    QString out;
    out.reserve(size);
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    qsizetype i = 0;
    while (i < size) {
        const unsigned char b = p[i];
        int length = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if (b < 0x80) {
            out.append(QChar(b));
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            length = 2, cp = b & 0x1F, min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            length = 3, cp = b & 0x0F, min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            length = 4, cp = b & 0x07, min = 0x10000;
        }
        bool valid = length > 0 && i + length <= size;
        for (int k = 1; valid && k < length; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                valid = false;
            else
                cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        valid = valid && cp >= min && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
        if (!valid) {
            out.append(QChar(b));
            ++i;
            continue;
        }
        const char32_t ucs4[1] = {cp};
        out.append(QString::fromUcs4(ucs4, 1));
        i += length;
    }
    return out;
}

QString decodeUtf16Le(const char* data, qsizetype size)
{
    QString out;
    out.resize(size / 2);
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    for (qsizetype i = 0; i < size / 2; ++i)
        out[i] = QChar(static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8)));
    return out;
}

QByteArray encode(QStringView text, Encoding encoding)
{
    if (encoding == Encoding::EightBit)
        return text.toUtf8();
    QByteArray out;
    out.resize(text.size() * 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        out[2 * i] = static_cast<char>(u & 0xFF);
        out[2 * i + 1] = static_cast<char>(u >> 8);
    }
    return out;
}

class RawReader
{
public:
    explicit RawReader(RawFile& file) : m_file(file) {}

    void split()
    {
        const qsizetype unit = m_file.encoding == Encoding::Utf16Le ? 2 : 1;
        const qsizetype size =
            m_file.bytes.size() - (m_file.bytes.size() - m_file.bodyBegin) % unit;
        qsizetype pos = m_file.bodyBegin;
        while (pos < size) {
            RawLine line;
            line.begin = pos;
            while (pos < size && !isBreak(pos))
                pos += unit;
            line.end = pos;
            while (pos < size && isBreak(pos))
                pos += unit;
            line.breakEnd = pos;
            line.text = decode(line.begin, line.end);
            m_file.lines.push_back(std::move(line));
        }
        // An odd trailing byte of a UTF-16 file is kept but is not text.
        if (!m_file.lines.empty())
            m_file.lines.back().breakEnd = m_file.bytes.size();
    }

private:
    char16_t unitAt(qsizetype pos) const
    {
        const auto* p = reinterpret_cast<const unsigned char*>(m_file.bytes.constData());
        if (m_file.encoding == Encoding::EightBit)
            return p[pos];
        return static_cast<char16_t>(p[pos] | (p[pos + 1] << 8));
    }
    bool isBreak(qsizetype pos) const
    {
        const char16_t u = unitAt(pos);
        return u == u'\r' || u == u'\n';
    }
    QString decode(qsizetype begin, qsizetype end) const
    {
        const char* data = m_file.bytes.constData() + begin;
        if (m_file.encoding == Encoding::EightBit)
            return decodeEightBit(data, end - begin);
        return decodeUtf16Le(data, end - begin);
    }

    RawFile& m_file;
};

RawFile parseRaw(QByteArray bytes)
{
    RawFile file;
    file.bytes = std::move(bytes);
    if (file.bytes.startsWith("\xFF\xFE")) {
        file.encoding = Encoding::Utf16Le;
        file.bodyBegin = 2;
    } else if (file.bytes.startsWith("\xEF\xBB\xBF")) {
        file.bodyBegin = 3;
    }
    RawReader(file).split();
    return file;
}

// ---------------------------------------------------------------------------------------
// Lines and their meaning.

enum class LineKind
{
    Blank,
    Comment,
    Section,
    Key
};

struct LineMeaning
{
    LineKind kind = LineKind::Blank;
    QString name; // section name or key
    QString value;
    bool hasEquals = false;
};

LineMeaning interpret(QStringView rawText)
{
    LineMeaning meaning;
    const QStringView text = trimmed(rawText);
    if (text.isEmpty())
        return meaning;
    if (text.front() == u';') {
        meaning.kind = LineKind::Comment;
        return meaning;
    }
    if (text.front() == u'[') {
        meaning.kind = LineKind::Section;
        const qsizetype close = text.lastIndexOf(u']');
        const QStringView inside = close > 0 ? text.sliced(1, close - 1) : text.sliced(1);
        meaning.name = trimmed(inside).toString();
        return meaning;
    }
    meaning.kind = LineKind::Key;
    const qsizetype equals = text.indexOf(u'=');
    if (equals < 0) {
        meaning.name = text.toString();
        return meaning;
    }
    meaning.hasEquals = true;
    meaning.name = rightTrimmed(text.first(equals)).toString();
    meaning.value = leftTrimmed(text.sliced(equals + 1)).toString();
    return meaning;
}

// ---------------------------------------------------------------------------------------
// Parsed profile for lookups.

struct Entry
{
    QString key;
    QString value; // quotes kept
    bool hasEquals = false;
};

struct Section
{
    QString name;
    std::vector<Entry> entries;
    QHash<QString, qsizetype> firstByFoldedKey;
    QStringList lines; // as GetPrivateProfileSection returns them
};

struct Profile
{
    std::vector<Section> sections;
    QHash<QString, qsizetype> firstByFoldedName;

    const Section* find(const QString& name) const
    {
        const auto it = firstByFoldedName.constFind(trimmed(name).toString().toCaseFolded());
        return it == firstByFoldedName.cend() ? nullptr : &sections[*it];
    }
};

const Entry* findKey(const Section& section, const QString& key)
{
    const auto it = section.firstByFoldedKey.constFind(trimmed(key).toString().toCaseFolded());
    return it == section.firstByFoldedKey.cend() ? nullptr : &section.entries[*it];
}

std::shared_ptr<const Profile> buildProfile(const RawFile& raw)
{
    auto profile = std::make_shared<Profile>();
    Section* current = nullptr;
    for (const RawLine& line : raw.lines) {
        LineMeaning meaning = interpret(line.text);
        if (meaning.kind == LineKind::Section) {
            const qsizetype index = static_cast<qsizetype>(profile->sections.size());
            const QString folded = meaning.name.toCaseFolded();
            if (!profile->firstByFoldedName.contains(folded))
                profile->firstByFoldedName.insert(folded, index);
            profile->sections.push_back(Section{std::move(meaning.name), {}, {}, {}});
            current = &profile->sections.back();
        } else if (meaning.kind == LineKind::Key && current) {
            const qsizetype index = static_cast<qsizetype>(current->entries.size());
            const QString folded = meaning.name.toCaseFolded();
            if (!current->firstByFoldedKey.contains(folded))
                current->firstByFoldedKey.insert(folded, index);
            current->lines.append(meaning.hasEquals ? meaning.name + u'=' + meaning.value
                                                    : meaning.name);
            current->entries.push_back(
                Entry{std::move(meaning.name), std::move(meaning.value), meaning.hasEquals});
        }
    }
    return profile;
}

// ---------------------------------------------------------------------------------------
// Reading files, with a cache of parsed profiles.

struct FileStamp
{
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified = {};
    timespec changed = {};

    static FileStamp of(const struct stat& st)
    {
        return FileStamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
    }
    bool operator==(const FileStamp& o) const
    {
        return device == o.device && inode == o.inode && size == o.size &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec &&
               changed.tv_sec == o.changed.tv_sec && changed.tv_nsec == o.changed.tv_nsec;
    }
};

enum class ReadStatus
{
    Ok,
    Missing,
    Failed
};

struct FileContent
{
    ReadStatus status = ReadStatus::Missing;
    QByteArray bytes;
    FileStamp stamp;
};

FileContent readFile(const QString& path)
{
    FileContent content;
    const QByteArray native = QFile::encodeName(path);
    const int fd = native.isEmpty() ? -1 : ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        content.status = (native.isEmpty() || errno == ENOENT || errno == ENOTDIR)
                             ? ReadStatus::Missing
                             : ReadStatus::Failed;
        return content;
    }
    struct stat st = {};
    content.status = ReadStatus::Failed;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxProfileBytes) {
        content.stamp = FileStamp::of(st);
        content.bytes.resize(static_cast<qsizetype>(st.st_size));
        qsizetype done = 0;
        for (;;) {
            if (done == content.bytes.size())
                content.bytes.resize(done + 4096); // the file grew while being read
            const ssize_t n = ::read(fd, content.bytes.data() + done,
                                     static_cast<size_t>(content.bytes.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                content.status = n == 0 ? ReadStatus::Ok : ReadStatus::Failed;
                break;
            }
            done += n;
            if (done > kMaxProfileBytes)
                break;
        }
        content.bytes.resize(done);
    }
    ::close(fd);
    return content;
}

// A cached profile is trusted only when the file's last change lies this far before the
// moment it was read: file times are coarse, so a file rewritten with the same size in
// the same clock tick would otherwise look unchanged.
constexpr time_t kRacyWindowSeconds = 2;

bool settledBefore(const timespec& changed, const timespec& readAt)
{
    return changed.tv_sec + kRacyWindowSeconds < readAt.tv_sec;
}

class ProfileCache
{
public:
    std::shared_ptr<const Profile> load(const QString& path)
    {
        const QString key = QFileInfo(path).absoluteFilePath();
        struct stat st = {};
        const QByteArray native = QFile::encodeName(key);
        if (::stat(native.constData(), &st) != 0)
            return nullptr;
        {
            std::lock_guard lock(m_mutex);
            const auto it = m_entries.constFind(key);
            if (it != m_entries.cend() && it->stamp == FileStamp::of(st))
                return it->profile;
        }
        timespec readAt = {};
        ::clock_gettime(CLOCK_REALTIME, &readAt);
        FileContent content = readFile(key);
        if (content.status != ReadStatus::Ok)
            return nullptr;
        auto profile = buildProfile(parseRaw(std::move(content.bytes)));
        if (settledBefore(content.stamp.changed, readAt))
            store(key, content.stamp, profile);
        return profile;
    }

    void forget(const QString& path)
    {
        std::lock_guard lock(m_mutex);
        m_entries.remove(QFileInfo(path).absoluteFilePath());
    }

private:
    struct Cached
    {
        FileStamp stamp;
        std::shared_ptr<const Profile> profile;
    };
    static constexpr qsizetype kMaxEntries = 64;

    void store(const QString& key, const FileStamp& stamp, std::shared_ptr<const Profile> profile)
    {
        std::lock_guard lock(m_mutex);
        if (m_entries.size() >= kMaxEntries && !m_entries.contains(key))
            m_entries.clear();
        m_entries.insert(key, Cached{stamp, std::move(profile)});
    }

    std::mutex m_mutex;
    QHash<QString, Cached> m_entries;
};

ProfileCache& cache()
{
    static ProfileCache instance;
    return instance;
}

// Writers in this process take turns, so two edits of one file never lose each other.
std::mutex& writeMutex()
{
    static std::mutex instance;
    return instance;
}

// Writers in other processes take turns with ours: each holds an exclusive flock on the
// file's folder while it reads, changes and replaces the file. (The file itself cannot
// carry the lock, as every write replaces it.) A folder that cannot be opened is edited
// without the lock.
class FolderLock
{
public:
    explicit FolderLock(const QString& file)
    {
        const QByteArray folder = QFile::encodeName(QFileInfo(file).absolutePath());
        m_fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        while (m_fd >= 0 && ::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~FolderLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int m_fd = -1;
};

QString unquoted(const QString& value)
{
    if (value.size() >= 2 && value.front() == u'"' && value.back() == u'"')
        return value.sliced(1, value.size() - 2);
    return value;
}

// Decimal number with an optional sign, read up to the first other character; wraps
// around on overflow as a 32-bit value does.
int parseProfileInt(QStringView text)
{
    text = leftTrimmed(text);
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'+' || text.front() == u'-')) {
        negative = text.front() == u'-';
        text = text.sliced(1);
    }
    uint32_t value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            break;
        value = value * 10u + static_cast<uint32_t>(c.unicode() - u'0');
    }
    if (negative)
        value = 0u - value;
    return static_cast<int>(value);
}

// ---------------------------------------------------------------------------------------
// Editing.

QByteArray lineBreakAfter(const RawFile& file, const RawLine& line)
{
    const QByteArray run = file.bytes.mid(line.end, line.breakEnd - line.end);
    const QByteArray crlf = encode(u"\r\n", file.encoding);
    if (run.startsWith(crlf))
        return crlf;
    const qsizetype unit = file.encoding == Encoding::Utf16Le ? 2 : 1;
    return run.left(unit);
}

bool hasLineBreak(const RawFile& file, const RawLine& line)
{
    const qsizetype unit = file.encoding == Encoding::Utf16Le ? 2 : 1;
    return line.breakEnd - line.end >= unit;
}

// The line break the file uses: its first one, else LF.
QByteArray defaultLineBreak(const RawFile& file)
{
    for (const RawLine& line : file.lines) {
        if (hasLineBreak(file, line))
            return lineBreakAfter(file, line);
    }
    return encode(u"\n", file.encoding);
}

// Position of the first '=' in the line, in bytes; -1 when there is none.
qsizetype equalsOffset(const RawFile& file, const RawLine& line)
{
    const qsizetype unit = file.encoding == Encoding::Utf16Le ? 2 : 1;
    for (qsizetype pos = line.begin; pos + unit <= line.end; pos += unit) {
        if (file.bytes[pos] == '=' && (unit == 1 || file.bytes[pos + 1] == 0))
            return pos;
    }
    return -1;
}

// Length in bytes of the line's text without the trailing blanks.
qsizetype rightTrimmedEnd(const RawFile& file, const RawLine& line)
{
    const qsizetype unit = file.encoding == Encoding::Utf16Le ? 2 : 1;
    qsizetype end = line.end;
    while (end > line.begin) {
        const char16_t u =
            unit == 1
                ? static_cast<unsigned char>(file.bytes[end - 1])
                : static_cast<char16_t>(static_cast<unsigned char>(file.bytes[end - 2]) |
                                        (static_cast<unsigned char>(file.bytes[end - 1]) << 8));
        if (!isBlank(u))
            break;
        end -= unit;
    }
    return end;
}

struct Location
{
    std::optional<size_t> sectionLine; // header of the first matching section
    std::optional<size_t> keyLine;     // first matching key line in it
    std::optional<size_t> lastKeyLine; // last key line of that section
};

Location locate(const RawFile& file, const QString& foldedSection, const QString& foldedKey)
{
    Location where;
    for (size_t i = 0; i < file.lines.size(); ++i) {
        const LineMeaning meaning = interpret(file.lines[i].text);
        if (meaning.kind == LineKind::Section) {
            if (where.sectionLine)
                break;
            if (meaning.name.toCaseFolded() == foldedSection)
                where.sectionLine = i;
        } else if (meaning.kind == LineKind::Key && where.sectionLine) {
            where.lastKeyLine = i;
            if (!where.keyLine && meaning.name.toCaseFolded() == foldedKey)
                where.keyLine = i;
        }
    }
    return where;
}

QByteArray replaceValue(const RawFile& file, const RawLine& line, const QString& value)
{
    const qsizetype equals = equalsOffset(file, line);
    const qsizetype keepEnd = equals >= 0 ? equals : rightTrimmedEnd(file, line);
    QByteArray out = file.bytes.left(keepEnd);
    out += encode(QString(u'=' + value), file.encoding);
    out += file.bytes.sliced(line.end);
    return out;
}

QByteArray insertAfter(const RawFile& file, const RawLine& line, const QString& text)
{
    QByteArray out;
    if (hasLineBreak(file, line)) {
        const QByteArray lineBreak = lineBreakAfter(file, line);
        const qsizetype at = line.end + lineBreak.size();
        out = file.bytes.left(at);
        out += encode(text, file.encoding) + lineBreak;
        out += file.bytes.sliced(at);
    } else {
        // The last line of the file; a stray odd byte of a UTF-16 file stays last.
        out = file.bytes.left(line.end);
        out += defaultLineBreak(file) + encode(text, file.encoding);
        out += file.bytes.sliced(line.end);
    }
    return out;
}

QByteArray appendSection(const RawFile& file, const QString& section, const QString& keyLine)
{
    const QByteArray lineBreak = defaultLineBreak(file);
    // A stray odd byte of a UTF-16 file stays last, so that the new text stays aligned.
    const qsizetype unit = file.encoding == Encoding::Utf16Le ? 2 : 1;
    const qsizetype textEnd = file.bytes.size() - (file.bytes.size() - file.bodyBegin) % unit;
    QByteArray out = file.bytes.left(textEnd);
    if (!file.lines.empty() && !hasLineBreak(file, file.lines.back()))
        out += lineBreak;
    out += encode(QString(u'[' + section + u']'), file.encoding) + lineBreak;
    out += encode(keyLine, file.encoding) + lineBreak;
    out += file.bytes.sliced(textEnd);
    return out;
}

QByteArray edited(const RawFile& file, const QString& section, const QString& key,
                  const QString& value)
{
    const Location where = locate(file, section.toCaseFolded(), key.toCaseFolded());
    const QString keyLine = key + u'=' + value;
    if (!where.sectionLine)
        return appendSection(file, section, keyLine);
    if (where.keyLine)
        return replaceValue(file, file.lines[*where.keyLine], value);
    const size_t after = where.lastKeyLine ? *where.lastKeyLine : *where.sectionLine;
    return insertAfter(file, file.lines[after], keyLine);
}

bool hasLineBreakChar(const QString& text)
{
    return text.contains(u'\r') || text.contains(u'\n');
}

// Names and values that would change the file's structure are refused: a line break
// would start a new line, '=' in a key would move the split, and a key that starts like
// a header or a comment would not read back as a key.
bool writable(const QString& section, const QString& key, const QString& value)
{
    if (hasLineBreakChar(section) || hasLineBreakChar(key) || hasLineBreakChar(value))
        return false;
    if (key.isEmpty() || key.contains(u'='))
        return false;
    return key.front() != u'[' && key.front() != u';';
}

} // namespace

QString GetPrivateProfileString(const QString& section, const QString& key, const QString& def,
                                const QString& file)
{
    if (const auto profile = cache().load(file)) {
        if (const Section* found = profile->find(section)) {
            if (const Entry* entry = findKey(*found, key))
                return unquoted(entry->value);
        }
    }
    qsizetype end = def.size();
    while (end > 0 && def[end - 1] == u' ')
        --end;
    return def.first(end);
}

int GetPrivateProfileInt(const QString& section, const QString& key, int def, const QString& file)
{
    const auto profile = cache().load(file);
    const Section* found = profile ? profile->find(section) : nullptr;
    const Entry* entry = found ? findKey(*found, key) : nullptr;
    if (!entry)
        return def;
    const QString value = unquoted(entry->value);
    if (value.isEmpty())
        return def;
    return parseProfileInt(value);
}

QStringList GetPrivateProfileSection(const QString& section, const QString& file)
{
    const auto profile = cache().load(file);
    const Section* found = profile ? profile->find(section) : nullptr;
    return found ? found->lines : QStringList();
}

QStringList GetPrivateProfileSectionNames(const QString& file)
{
    QStringList names;
    if (const auto profile = cache().load(file)) {
        names.reserve(static_cast<qsizetype>(profile->sections.size()));
        for (const Section& section : profile->sections)
            names.append(section.name);
    }
    return names;
}

bool WritePrivateProfileString(const QString& section, const QString& key, const QString& value,
                               const QString& file)
{
    const QString cleanSection = trimmed(section).toString();
    const QString cleanKey = trimmed(key).toString();
    const QString cleanValue = leftTrimmed(value).toString();
    if (file.isEmpty() || !writable(cleanSection, cleanKey, cleanValue))
        return false;

    std::lock_guard lock(writeMutex());
    // Edit the file a link points to, not the link.
    const QFileInfo info(file);
    const QString target = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    const FolderLock folderLock(target);
    FileContent content = readFile(target);
    if (content.status == ReadStatus::Failed)
        return false; // never replace a file that could not be read
    const RawFile raw = parseRaw(std::move(content.bytes));
    const QByteArray bytes = edited(raw, cleanSection, cleanKey, cleanValue);
    if (content.status == ReadStatus::Ok && bytes == raw.bytes)
        return true;
    const bool written = WriteFileAtomically(target, bytes);
    cache().forget(file);
    cache().forget(target);
    return written;
}

} // namespace platform
