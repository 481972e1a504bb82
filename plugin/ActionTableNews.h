#pragma once
// ActionTableNews: tells the host (IHostActionEvents on its helper, when it offers it) that the
// action table changed, so that its view of the rows follows an editor save, a project load or
// an import. Told from the event loop, once for the changes that came together: never inside a
// rebuild or a load, where the host reading the table would meet it half made.
//
//   ActionTableNews news(state);   // listens to state.actionTable from now on

#include "store/PlugInState.h"

#include <QObject>

namespace tarvex {

class ActionTableNews {
public:
    // The state is borrowed and outlives this object.
    explicit ActionTableNews(PlugInState &state);
    ~ActionTableNews();
    ActionTableNews(const ActionTableNews &) = delete;
    ActionTableNews &operator=(const ActionTableNews &) = delete;

private:
    void tellSoon();

    PlugInState &m_state;
    bool m_queued = false;
    QObject m_context; // the queued call runs in it; with it goes one not yet run
};

} // namespace tarvex
