#pragma once
// The box shown while the program starts: stage text, detail text and a bar
// from 0 to 1000. It owns the progress model that start-up and the module
// loader report through.

#include "progress/LoadingProgress.h"

#include <QDialog>

class QLabel;
class QProgressBar;

namespace bram::gui {

class CLoadingBox : public QDialog, public ILoadingDisplay {
    Q_OBJECT
public:
    explicit CLoadingBox(QWidget* parent = nullptr);

    CLoadingProgress& Progress() { return m_progress; }
    int BarPosition() const;
    QString StageText() const;
    QString DetailText() const;
    // The highest position the bar has shown.
    int HighestPosition() const { return m_highest; }
    // How many bar updates came while the box was on screen.
    int VisibleUpdates() const { return m_visibleUpdates; }

    void ShowStageText(const std::string& text) override;
    void ShowDetailText(const std::string& text) override;
    void ShowProgress(int position) override;

private:
    // Start-up runs without an event loop: paint at once.
    void PaintNow(QWidget* widget);

    CLoadingProgress m_progress;
    QLabel* m_stage;
    QLabel* m_detail;
    QProgressBar* m_bar;
    int m_highest = 0;
    int m_visibleUpdates = 0;
};

} // namespace bram::gui
