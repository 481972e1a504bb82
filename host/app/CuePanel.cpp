#include "host/app/CuePanel.h"

#include "host/app/HostSession.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace tarvex::host {
namespace {

void fill(QComboBox *box, const std::vector<OptionEntry> &entries)
{
    const QSignalBlocker quiet(box);
    const QVariant chosen = box->currentData();
    box->clear();
    for (const OptionEntry &entry : entries)
        box->addItem(QString::fromStdString(entry.caption), QString::fromStdString(entry.value));
    const int again = box->findData(chosen);
    box->setCurrentIndex(again >= 0 ? again : 0);
}

} // namespace

CuePanel::CuePanel(HostSession &session, QWidget *parent)
    : QGroupBox(tr("Cue"), parent), m_session(session), m_first(new QComboBox),
      m_second(new QComboBox), m_execute(new QPushButton(tr("Execute"))),
      m_refresh(new QPushButton(tr("Refresh")))
{
    m_first->setMinimumContentsLength(24);
    m_first->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_second->setMinimumContentsLength(12);
    m_second->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(new QLabel(tr("Action:")));
    layout->addWidget(m_first, 3);
    layout->addWidget(new QLabel(tr("Do:")));
    layout->addWidget(m_second, 1);
    layout->addWidget(m_execute);
    layout->addWidget(m_refresh);
    connect(m_first, &QComboBox::currentIndexChanged, this, &CuePanel::firstChanged);
    connect(m_execute, &QPushButton::clicked, this, &CuePanel::execute);
    connect(m_refresh, &QPushButton::clicked, this, &CuePanel::refresh);
    updateButtons();
}

void CuePanel::refresh()
{
    try {
        fill(m_first,
             m_session.hasPlugIn() ? m_session.firstOptions() : std::vector<OptionEntry>{});
        firstChanged();
    } catch (const std::exception &e) {
        emit failed(tr("The plug-in could not list its actions: %1").arg(e.what()));
    }
    updateButtons();
}

void CuePanel::firstChanged()
{
    try {
        const std::string first = m_first->currentData().toString().toStdString();
        fill(m_second,
             m_session.hasPlugIn() ? m_session.secondOptions(first) : std::vector<OptionEntry>{});
    } catch (const std::exception &e) {
        emit failed(tr("The plug-in could not list what to do: %1").arg(e.what()));
    }
    updateButtons();
}

void CuePanel::execute()
{
    if (m_first->currentIndex() < 0 || m_second->currentIndex() < 0)
        return;
    try {
        m_session.executeCommand(m_first->currentData().toString().toStdString(),
                                 m_second->currentData().toString().toStdString());
        emit executed(tr("%1: %2").arg(m_first->currentText(), m_second->currentText()));
    } catch (const std::exception &e) {
        emit failed(tr("The plug-in refused the cue: %1").arg(e.what()));
    }
}

void CuePanel::updateButtons()
{
    const bool any = m_session.hasPlugIn();
    m_refresh->setEnabled(any);
    m_execute->setEnabled(any && m_first->count() > 0 && m_second->count() > 0);
}

} // namespace tarvex::host
