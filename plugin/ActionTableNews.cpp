#include "plugin/ActionTableNews.h"

#include "plugin/api/HostActions.h"

namespace tarvex {

ActionTableNews::ActionTableNews(PlugInState &state) : m_state(state)
{
    m_state.actionTable.setChangeListener([this] { tellSoon(); });
}

ActionTableNews::~ActionTableNews()
{
    m_state.actionTable.setChangeListener({});
}

void ActionTableNews::tellSoon()
{
    if (m_queued)
        return;
    m_queued = true;
    QMetaObject::invokeMethod(
        &m_context,
        [this] {
            m_queued = false;
            auto events = std::dynamic_pointer_cast<IHostActionEvents>(m_state.hostHelper);
            if (!events)
                return;
            try {
                events->actionsChanged();
            } catch (...) {
                // A host that fails to listen changes nothing.
            }
        },
        Qt::QueuedConnection);
}

} // namespace tarvex
