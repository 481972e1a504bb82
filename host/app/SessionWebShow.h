#pragma once
// SessionWebShow: the show as the web server serves it, read from the host's session: the rows
// and hits, the controllers, the DMX output and the channel levels, and the plug-in's OSC
// server as the place the page's controls send to.
//
//   SessionWebShow show(session);
//   WebServer server(show);
//
// Each page sends from a UDP socket of its own (the web server's), so the plug-in sees it as one
// more controller on the network: listed, counted, and with feedback on, sent what others move.

#include "host/app/HostSession.h"
#include "host/web/WebRoutes.h"

#include <QDeadlineTimer>

namespace tarvex::host {

class SessionWebShow : public WebShow {
public:
    explicit SessionWebShow(HostSession &session);

    std::vector<ActionRow> rows() override;
    ReceivedValues &receivedValues() override { return m_received; }
    OscQueryHost oscQueryHost() override;
    std::vector<std::string> pageEvents() override;
    OscDestination plugInServer() override;

private:
    // The rows and controllers are asked of the plug-in at most this often; the levels each time.
    static constexpr int PlugInReadMs = 200;
    void readPlugIn();

    HostSession &m_session;
    ReceivedValues m_received;
    QDeadlineTimer m_nextRead; // expired: read again
    std::vector<RowStatus> m_rows;
    std::string m_rowsEvent, m_controllersEvent, m_channelsEvent;
    std::vector<int> m_universes;
};

} // namespace tarvex::host
