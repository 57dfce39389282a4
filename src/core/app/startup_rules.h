#pragma once

#include <qpu/port_info.h>

#include <QString>

// Window-free decisions of start-up and shutdown: the language identifier, the folders,
// which way the printer is chosen, and what shutdown saves.
namespace startup {

// Window name of the application's texts.
inline constexpr char kAppWindowName[] = "QP_UTILITY_APP";
// Window name of the question asked before the output file is written in start mode 4.
inline constexpr char kConfirmSaveWindowName[] = "MSG_CONFIRM_SAVE_FILE";
// The single text shown without any language lookup.
inline constexpr char kNoLanguageFileText[] =
    "Could not find the required files.\nPlease reinstall.";

// Messages of window "QP_UTILITY_APP" with their compiled-in English.
enum AppMessage : int
{
    kMsgNotAdministrator = 0,
    kMsgPortInUse = 4,
    kMsgSaveFileFailed = 7,
    kMsgSettingsFileDamaged = 8,
    kMsgSettingsNotSaved = 9,
    kMsgOldLogoNotDeleted = 10,
};
inline constexpr char kNotAdministratorText[] =
    "You must have Administrator rights to run this software.";
inline constexpr char kPortInUseText[] =
    "Cannot launch the printer because it is in use by another application.";
inline constexpr char kSaveFileFailedText[] = "Saving to the file failed.";
// %s: where the damaged file is kept.
inline constexpr char kSettingsFileDamagedText[] =
    "The saved settings file of this printer is damaged and could not be read.\n"
    "It was kept as:\n%s";
// %s: the settings file that was not written.
inline constexpr char kSettingsNotSavedText[] =
    "Could not save the printer's settings to the file:\n%s\n"
    "A settings file saved earlier was left as it was.";
// %s: the logo file of an earlier run of start mode 4; the cause follows on a line of its own.
inline constexpr char kOldLogoNotDeletedText[] =
    "The logo file of an earlier run could not be deleted:\n%s\n"
    "The program ends, so that the old logo does not go into the output file.";
// Message 3 of "PRT_SELECT_DLG", shown by the command-line paths.
inline constexpr int kMsgNoAnswer = 3;
inline constexpr char kNoAnswerText[] = "Cannot communicate with the printer.";

// A driver port name must name one of the driver's virtual ports.
inline constexpr char16_t kDriverPortMark[] = u"VSDPRT";
// Caption and question numbers of "MSG_CONFIRM_SAVE_FILE".
inline constexpr int kConfirmSaveCaption = 0;
inline constexpr int kConfirmSaveQuestion = 1;
// SaveSettingsFile's two header values.
inline constexpr quint32 kSettingsFileValue = 0x10000;

// The language identifier number of the LANGID text of SETTING.INI: at most 8 characters,
// each a hexadecimal digit (either letter case); any other character, or a longer text,
// gives 0. "0411" gives 0x0411, "" gives 0, "FFFFFFFF" gives -1 (all 32 bits set).
int LanguageIdFromText(const QString& text);

// The folders and files that start-up derives.
struct StartupPaths
{
    QString programFolder;  // ends with '/'
    QString languageFolder; // program folder + "LANG"
    QString settingIni;     // program folder + "SETTING.INI"
    QString settingsFolder; // common data + "/VORKA/QP60Utl"; empty without a common folder
    QString tempFolder;     // settings folder + "/TMP"
    QString userFolder;     // user data + "/VORKA/QP60Utl"; empty without a user folder
    QString logoFile;       // user folder + "/R60LOGO.qlg"
    // The user's own SETTING.INI (language choice, window size); empty without a
    // configuration folder. Set by start-up, not derived here.
    QString userSettingIni;
};

// The paths built from the program folder and the two application data folders. An empty
// folder gives empty paths beneath it, never paths relative to the working folder.
StartupPaths DeriveStartupPaths(const QString& programFolder, const QString& commonAppData,
                                const QString& userAppData);

// Creates the settings folder, the temporary folder and the user folder level by level.
// A path whose folder could not be created comes back empty, so that later steps fail on
// their own; a failure of one folder does not stop the others (the temporary folder
// depends on the settings folder, the logo file on the user folder).
StartupPaths CreateStartupFolders(StartupPaths paths);

// How start-up chooses the printer.
enum class PrinterChoice
{
    DriverPortRejected, // a driver port name without "VSDPRT": message, end
    DriverPort,         // select the driver's port by name, test and open it behind the splash
    PortPath,           // start mode 3: open the port path given on the command line
    NoPrinter,          // start mode 4: no library, no dialog, device name "QP-R60"
    Dialog,             // the printer selection dialog
};

// The first case that applies: a driver port name, start mode 3 with a port path, start
// mode 4, else the dialog. In start mode 4 no library is bound and no port may be opened,
// so a driver port name given with it is not used: start mode 4 wins.
PrinterChoice ChoosePrinterCase(int startMode, const QString& driverPortName,
                                const QString& portPath);

// True when the printer's settings file is loaded at start-up and saved at shutdown, with
// the registry: started without a start mode and without a caller type, or in start mode 4.
bool UsesSettingsFile(int startMode, int callerType);

// Renames a damaged settings file to "<path>.corrupt-<n>" with the lowest n from 1 that
// names nothing yet, so that it can be recovered by hand and is no longer taken for a saved
// copy. The new path, or empty when the file could not be renamed.
QString SetDamagedFileAside(const QString& path);

// Deletes the logo file of an earlier run of start mode 4 (a link is removed, not what it
// points to). Empty when it is gone or never was; otherwise why it stays, in words.
QString RemoveOldLogoFile(const QString& path);

// The caller type handed to QPC_SetCaller: 1 to 4 as given, anything else 0.
int LibraryCallerType(int callerType);

// The record of a port path given on the command line (start mode 3): zero-filled, both
// reserved numbers -1, the driver-port flag 1 and the path as driver port path. False when
// the path does not fit the field (more than 259 characters); the record is then unusable.
bool MakePortPathRecord(const QString& portPath, PortInfo& record);

} // namespace startup
