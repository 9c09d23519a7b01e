#pragma once

#include <QString>

class QWidget;

namespace ORVO {
namespace utils {

// Re-applies the widget's style (unpolish, polish) and schedules a repaint,
// so that a changed style sheet, object name or dynamic property shows.
void update(QWidget* widget);

// The file to save to, from the standard dialog (or the tests' answer);
// empty when the user cancelled.
QString askSaveFile(QWidget* parent, const QString& caption, const QString& path,
                    const QString& filter);

} // namespace utils
} // namespace ORVO
