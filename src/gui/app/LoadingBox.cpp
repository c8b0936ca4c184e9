#include "gui/app/LoadingBox.h"

#include "gui/common/ControlIds.h"
#include "gui/common/UserPrompts.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace bram::gui {

CLoadingBox::CLoadingBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_stage(new QLabel(this)),
      m_detail(new QLabel(this)),
      m_bar(new QProgressBar(this))
{
    setWindowTitle(QStringLiteral("Loading..."));
    setModal(false);
    m_stage->setObjectName(ControlName(EControl::LoadingStage));
    m_detail->setObjectName(ControlName(EControl::LoadingDetail));
    m_bar->setObjectName(ControlName(EControl::LoadingBar));
    m_stage->setTextFormat(Qt::PlainText);
    m_detail->setTextFormat(Qt::PlainText);
    m_bar->setRange(0, CLoadingProgress::kBarRange);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_stage);
    layout->addWidget(m_detail);
    layout->addWidget(m_bar);
    setMinimumWidth(420);
    m_progress.SetDisplay(this);
}

int CLoadingBox::BarPosition() const { return m_bar->value(); }
QString CLoadingBox::StageText() const { return m_stage->text(); }
QString CLoadingBox::DetailText() const { return m_detail->text(); }

void CLoadingBox::PaintNow(QWidget* widget)
{
    if (isVisible()) {
        widget->repaint();
    }
}

void CLoadingBox::ShowStageText(const std::string& text)
{
    m_stage->setText(ToQ(text));
    PaintNow(m_stage);
}

void CLoadingBox::ShowDetailText(const std::string& text)
{
    m_detail->setText(ToQ(text));
    PaintNow(m_detail);
}

void CLoadingBox::ShowProgress(int position)
{
    m_bar->setValue(position);
    m_highest = std::max(m_highest, position);
    if (isVisible()) {
        ++m_visibleUpdates;
    }
    PaintNow(m_bar);
}

} // namespace bram::gui
