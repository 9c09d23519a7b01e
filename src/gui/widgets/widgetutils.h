#pragma once

class QWidget;

namespace ORVO {
namespace utils {

// Re-applies the widget's style (unpolish, polish) and schedules a repaint,
// so that a changed style sheet, object name or dynamic property shows.
void update(QWidget* widget);

} // namespace utils
} // namespace ORVO
