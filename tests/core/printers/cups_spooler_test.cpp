// The CUPS printer queues: device URIs to ports, and a real scheduler that the test starts
// on a private local socket with queues of its own (never the system's scheduler, never
// the network).

#include "printers/cups_spooler.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cups/cups.h>

#include <chrono>

namespace {

TEST(CupsSpooler, PortIsTheLastComponentOfTheDeviceUri)
{
    EXPECT_EQ(CupsPrinterSpooler::PortOfDeviceUri(QStringLiteral("socket://127.0.0.1:9100")),
              u"127.0.0.1:9100");
    EXPECT_EQ(CupsPrinterSpooler::PortOfDeviceUri(QStringLiteral("usb://VORKA/QP-R60?serial=1")),
              u"QP-R60?serial=1");
    EXPECT_EQ(CupsPrinterSpooler::PortOfDeviceUri(QStringLiteral("file:///dev/VSDPRT1")),
              u"VSDPRT1");
    EXPECT_EQ(CupsPrinterSpooler::PortOfDeviceUri(QStringLiteral("lpd://host/queue/")), u"");
    EXPECT_EQ(CupsPrinterSpooler::PortOfDeviceUri(QStringLiteral("VSDPRT2")), u"VSDPRT2");
}

TEST(CupsSpooler, AnUnreachableSchedulerIsAnErrorWithoutQueues)
{
    QTemporaryDir dir;
    CupsPrinterSpooler spooler(dir.filePath(QStringLiteral("no-such.sock")), 2000);
    QList<SpoolerPrinter> printers{{QStringLiteral("stale"), {}, {}}};
    EXPECT_FALSE(spooler.ListPrinters(&printers));
    EXPECT_TRUE(printers.isEmpty());
    EXPECT_FALSE(spooler.errorString().isEmpty());
}

constexpr char kPpd[] = R"PPD(*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "TEST.PPD"
*Manufacturer: "VORKA"
*Product: "(QP-R60)"
*ModelName: "@MODEL@"
*ShortNickName: "@MODEL@"
*NickName: "@MODEL@"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: False
*DefaultColorSpace: Gray
*FileSystem: False
*Throughput: "1"
*OpenUI *PageSize: PickOne
*DefaultPageSize: X80
*PageSize X80/80mm: "<</PageSize[227 842]>>setpagedevice"
*CloseUI: *PageSize
*OpenUI *PageRegion: PickOne
*DefaultPageRegion: X80
*PageRegion X80/80mm: "<</PageSize[227 842]>>setpagedevice"
*CloseUI: *PageRegion
*DefaultImageableArea: X80
*ImageableArea X80/80mm: "0 0 227 842"
*DefaultPaperDimension: X80
*PaperDimension X80/80mm: "227 842"
)PPD";

// A CUPS scheduler of the test's own: configuration, spool and state in a temporary
// folder, listening only on a local socket there, with stand-in backends so that queues
// may name socket:// and usb:// devices. Nothing is ever printed.
class PrivateScheduler
{
public:
    bool Start(QString* why)
    {
        if (!QFileInfo::exists(QStringLiteral(CUPSD_PROGRAM))) {
            *why = QStringLiteral(CUPSD_PROGRAM " is not installed (package cups-daemon)");
            return false;
        }
        const QString root = m_dir.path();
        for (const char* sub : {"etc", "spool/tmp", "cache", "state", "log", "bin/backend"}) {
            QDir().mkpath(root + QLatin1Char('/') + QLatin1String(sub));
        }
        QFile::setPermissions(root + QStringLiteral("/etc"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        for (const char* backend : {"socket", "usb"}) {
            const QString path = root + QStringLiteral("/bin/backend/") + QLatin1String(backend);
            Write(path, "#!/bin/sh\nexit 0\n");
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        m_socket = root + QStringLiteral("/cups.sock");
        Write(root + QStringLiteral("/etc/cupsd.conf"),
              ("Listen " + m_socket.toUtf8() +
               "\nBrowsing Off\nBrowseLocalProtocols none\nWebInterface No\n"
               "DefaultAuthType None\nLogLevel warn\n"
               "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
               "<Policy default>\n  <Limit All>\n    Order allow,deny\n    Allow all\n"
               "  </Limit>\n</Policy>\n"));
        const QByteArray r = root.toUtf8();
        Write(root + QStringLiteral("/etc/cups-files.conf"),
              "ServerRoot " + r + "/etc\nServerBin " + r + "/bin\nRequestRoot " + r +
                  "/spool\nTempDir " + r + "/spool/tmp\nCacheDir " + r + "/cache\nStateDir " + r +
                  "/state\nErrorLog " + r + "/log/error_log\nAccessLog " + r +
                  "/log/access_log\nPageLog " + r + "/log/page_log\nFileDevice Yes\n");
        m_process.setProgram(QStringLiteral(CUPSD_PROGRAM));
        m_process.setArguments({QStringLiteral("-f"), QStringLiteral("-c"),
                                root + QStringLiteral("/etc/cupsd.conf"), QStringLiteral("-s"),
                                root + QStringLiteral("/etc/cups-files.conf")});
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start();
        if (!m_process.waitForStarted(5000)) {
            *why = QStringLiteral("cupsd did not start: ") + m_process.errorString();
            return false;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!QFileInfo::exists(m_socket)) {
            if (std::chrono::steady_clock::now() > deadline ||
                m_process.state() != QProcess::Running) {
                *why = QStringLiteral("cupsd did not listen: ") +
                       QString::fromUtf8(m_process.readAll());
                return false;
            }
            QThread::msleep(20);
        }
        return true;
    }

    ~PrivateScheduler()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000)) {
                m_process.kill();
                m_process.waitForFinished(2000);
            }
        }
    }

    QString Socket() const { return m_socket; }

    // Adds a queue with a driver description file naming the model; true on success.
    bool AddQueue(const char* name, const char* deviceUri, const char* makeAndModel)
    {
        const QString ppd = m_dir.filePath(QStringLiteral("%1.ppd").arg(QLatin1String(name)));
        Write(ppd, QByteArray(kPpd).replace("@MODEL@", makeAndModel));
        ipp_t* request = ippNewRequest(IPP_OP_CUPS_ADD_MODIFY_PRINTER);
        AddTarget(request, "printers", name);
        ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_URI, "device-uri", nullptr, deviceUri);
        ippAddBoolean(request, IPP_TAG_PRINTER, "printer-is-accepting-jobs", 1);
        ippAddInteger(request, IPP_TAG_PRINTER, IPP_TAG_ENUM, "printer-state", IPP_PSTATE_IDLE);
        return Send(request, ppd);
    }

    bool AddClass(const char* name, const char* member)
    {
        ipp_t* request = ippNewRequest(IPP_OP_CUPS_ADD_MODIFY_CLASS);
        AddTarget(request, "classes", name);
        char uri[HTTP_MAX_URI];
        httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                         "/printers/%s", member);
        ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_URI, "member-uris", nullptr, uri);
        return Send(request, {});
    }

private:
    static void Write(const QString& path, const QByteArray& text)
    {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            file.write(text);
        }
    }
    static void AddTarget(ipp_t* request, const char* kind, const char* name)
    {
        char uri[HTTP_MAX_URI];
        httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                         "/%s/%s", kind, name);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                     "root");
    }
    bool Send(ipp_t* request, const QString& file)
    {
        http_t* http = httpConnect2(m_socket.toUtf8().constData(), 0, nullptr, AF_UNSPEC,
                                    HTTP_ENCRYPTION_NEVER, 1, 5000, nullptr);
        if (!http) {
            ippDelete(request);
            return false;
        }
        const QByteArray path = file.toUtf8();
        ipp_t* response = cupsDoFileRequest(http, request, "/admin/",
                                            file.isEmpty() ? nullptr : path.constData());
        const bool ok = response && cupsLastError() <= IPP_STATUS_OK_CONFLICTING;
        ippDelete(response);
        httpClose(http);
        return ok;
    }

    QTemporaryDir m_dir;
    QString m_socket;
    QProcess m_process;
};

TEST(CupsSpooler, ListsTheQueuesOfAPrivateScheduler)
{
    PrivateScheduler scheduler;
    QString why;
    if (!scheduler.Start(&why)) {
        GTEST_SKIP() << why.toStdString();
    }
    CupsPrinterSpooler spooler(scheduler.Socket());
    QList<SpoolerPrinter> printers;
    ASSERT_TRUE(spooler.ListPrinters(&printers)) << spooler.errorString().toStdString();
    EXPECT_TRUE(printers.isEmpty()); // a scheduler without queues

    ASSERT_TRUE(
        scheduler.AddQueue("Shop", "socket://127.0.0.1:9100/VSDPRT1", "VORKA QP-R60 Receipt5"));
    ASSERT_TRUE(
        scheduler.AddQueue("Office", "usb://VORKA/QP-R60?serial=42", "VORKA QP-R60 Label5"));
    ASSERT_TRUE(scheduler.AddClass("All", "Shop"));

    ASSERT_TRUE(spooler.ListPrinters(&printers)) << spooler.errorString().toStdString();
    ASSERT_EQ(printers.size(), 2) << "classes are left out";
    std::sort(printers.begin(), printers.end(),
              [](const SpoolerPrinter& a, const SpoolerPrinter& b) {
                  return a.printerName < b.printerName;
              });
    EXPECT_EQ(printers[0],
              (SpoolerPrinter{QStringLiteral("Office"), QStringLiteral("QP-R60?serial=42"),
                              QStringLiteral("VORKA QP-R60 Label5")}));
    EXPECT_EQ(printers[1], (SpoolerPrinter{QStringLiteral("Shop"), QStringLiteral("VSDPRT1"),
                                           QStringLiteral("VORKA QP-R60 Receipt5")}));
}

} // namespace
