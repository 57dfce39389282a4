#pragma once

#include <QString>
#include <QStringList>

// Fills the "%s" placeholders of a language text with values, in order. A translation with
// fewer placeholders than values shows as it stands, never crashes.
QString FillPlaceholders(QString text, const QStringList& values);
