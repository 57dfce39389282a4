#pragma once

#include <qpu/app_state.h>

#include <QString>

// The model name of the served printer.
inline constexpr char16_t kServedModelName[] = u"QP-R60";

// Fills the nine model switches of state from SETTING.INI (sections "Font", "IFSetting",
// "RoroVuvivid", "Support", "Logo"); a missing file or key gives 0. In start mode 4
// (state.startMode) the "Support" keys are not read and ARP and WM support are both 1.
void ReadModelProfile(AppState& state, const QString& settingIniPath);

// Fills the five communication-interface slots and the default interface of state from
// section "SupportCommIF" of SETTING.INI (CommIFType_1..5, reading stops at the first -1;
// DefaultIFType). When that gives no first slot, the language texts of window
// "PORT_ADD_DLG" (state.languageFolder, state.languageId, English fallback) supply them:
// message 100 lists the slots ("0,1,2"; "2" without it), message 101 names the default
// (else the first number of the list).
void ReadInterfaceProfile(AppState& state, const QString& settingIniPath);

// True when deviceName names a printer of the served model's series: same series letter
// and number after "QP-", same suffix, and a generation (roman numeral) and remainder that
// fit the served model, e.g. "QP-R60", "QP-R60II", "QP-R60 Series" but not "QP-R61",
// "QP-R60A" or "QP-R60V-A".
bool ModelSeriesMatch(const QString& deviceName);

// The same test against any served model name; ModelSeriesMatch(deviceName) uses
// kServedModelName.
bool ModelSeriesMatch(const QString& servedModel, const QString& deviceName);
