// The cause of a communication library result in words, and the device node it names.
#include "app/fixed_text.h"
#include "comm/comm_error_text.h"

#include <qpu/comm_lib.h>

#include <gtest/gtest.h>

#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <grp.h>
#include <unistd.h>

namespace {

PortInfo Port(const char* keyword, const char* name)
{
    PortInfo port{};
    SetFixedText(port.interfaceKeyword, QString::fromLatin1(keyword));
    SetFixedText(port.portName, QString::fromLatin1(name));
    return port;
}

} // namespace

TEST(CommErrorCause, EveryResultHasItsOwnSentence)
{
    const struct
    {
        int32_t result;
        const char* words;
    } cases[] = {
        {QPC_ERR_NOT_BOUND, "library is not loaded"},
        {QPC_ERR_INVALID_ARGUMENT, "not valid"},
        {QPC_ERR_NOT_OPEN, "not open"},
        {QPC_ERR_TIMEOUT, "did not answer in time"},
        {QPC_ERR_NOT_FOUND, "not found"},
        {QPC_ERR_IO, "refused"},
        {QPC_ERR_BAD_ANSWER, "could not be understood"},
        {QPC_ERR_CONNECTION_LOST, "was lost"},
        {QPC_ERR_ALREADY_OPEN, "already open"},
        {QPC_ERR_PORT_IN_USE, "in use by another program"},
        {QPC_ERR_ACCESS_DENIED, "denied"},
        {QPC_ERR_NOT_SUPPORTED, "not a printer port"},
        {QPC_ERR_FILE, "cannot be read or written"},
        {QPC_ERR_NO_MEMORY, "memory"},
        {int32_t(0x80000077u), "0x80000077"},
    };
    QSet<QString> sentences;
    for (const auto& c : cases) {
        const QString text = CommErrorCause(c.result);
        EXPECT_TRUE(text.contains(QLatin1String(c.words))) << text.toStdString();
        sentences.insert(text);
    }
    EXPECT_EQ(sentences.size(), qsizetype(std::size(cases)));
    EXPECT_TRUE(CommErrorCause(QPC_OK).isEmpty());
    EXPECT_EQ(CommErrorCause(QPC_ERR_NOT_FOUND, QStringLiteral("/dev/ttyUSB7")),
              QStringLiteral("/dev/ttyUSB7 was not found."));
}

TEST(CommErrorCause, AccessDeniedNamesTheGroupToJoin)
{
    QTemporaryDir dir;
    const QString node = dir.filePath(QStringLiteral("ttyS9"));
    QFile file(node);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    // As root the node is handed to a group a user would join; otherwise it keeps the
    // user's own group.
    const struct group* dialout = ::geteuid() == 0 ? ::getgrnam("dialout") : nullptr;
    if (dialout != nullptr) {
        ASSERT_EQ(::chown(node.toLocal8Bit().constData(), 0, dialout->gr_gid), 0);
    }
    const QString group = OwningGroup(node);
    ASSERT_FALSE(group.isEmpty());
    const QString text = CommErrorCause(QPC_ERR_ACCESS_DENIED, node);
    EXPECT_TRUE(text.contains(node)) << text.toStdString();
    if (group != QLatin1String("root")) {
        EXPECT_TRUE(text.contains(QStringLiteral("join the group '%1'").arg(group)))
            << text.toStdString();
    }
    EXPECT_TRUE(OwningGroup(dir.filePath(QStringLiteral("missing"))).isEmpty());
}

TEST(CommErrorCause, DeviceNodeOfAPort)
{
    qputenv("QPCOMM_DEV_DIR", "/devroot");
    const struct
    {
        const char* keyword;
        const char* name;
        const char* path;
    } cases[] = {
        {"COM", "ttyUSB0", "/devroot/ttyUSB0"},
        {"BT", "rfcomm0", "/devroot/rfcomm0"},
        {"LPT", "lp1", "/devroot/lp1"},
        {"USB", "USB-001", "/devroot/usb/lp0"},
        {"USB", "003", "/devroot/usb/lp2"},
        {"USB", "USB-000", ""},
        {"NET", "192.168.1.20", ""},
        {"COM", "/dev/pts/4", "/dev/pts/4"},
        {"COM", "", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PortDevicePath(Port(c.keyword, c.name)), QString::fromLatin1(c.path))
            << c.keyword << " " << c.name;
    PortInfo driver{};
    SetFixedText(driver.driverPortPath, QStringLiteral("/dev/usb/lp4"));
    EXPECT_EQ(PortDevicePath(driver), QStringLiteral("/dev/usb/lp4"));
    qunsetenv("QPCOMM_DEV_DIR");
}
