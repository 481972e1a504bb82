#include "host/app/SessionWebShow.h"

#include "host/app/ChannelLevels.h"
#include "host/app/HeadlessEvents.h"
#include "host/objects/ControllersJson.h"

#include <QHostInfo>

namespace tarvex::host {
namespace {

// The plug-in's server address as a place to send to: one that listens on every address is
// reached on this machine's loopback.
QHostAddress destinationOf(const std::string &address)
{
    const QHostAddress parsed(QString::fromStdString(address));
    if (parsed.isNull() || parsed == QHostAddress::AnyIPv4 || parsed == QHostAddress::Any)
        return QHostAddress::LocalHost;
    if (parsed == QHostAddress::AnyIPv6)
        return QHostAddress::LocalHostIPv6;
    return parsed;
}

std::optional<uint16_t> portOf(const std::string &text)
{
    bool ok = false;
    const uint port = QString::fromStdString(text).toUInt(&ok);
    if (!ok || port == 0 || port > 65535)
        return std::nullopt;
    return static_cast<uint16_t>(port);
}

} // namespace

SessionWebShow::SessionWebShow(HostSession &session) : m_session(session) {}

std::vector<ActionRow> SessionWebShow::rows()
{
    readPlugIn();
    std::vector<ActionRow> rows;
    rows.reserve(m_rows.size());
    for (const RowStatus &status : m_rows)
        rows.push_back(status.row);
    return rows;
}

OscQueryHost SessionWebShow::oscQueryHost()
{
    OscQueryHost host{
        "Tarvex on " + QHostInfo::localHostName().toStdString(), "", 0, {"HTML", "LISTEN"}};
    if (IHostListening *listening = m_session.listening()) {
        host.oscAddress = listening->serverAddress();
        host.oscPort = portOf(listening->serverPort()).value_or(0);
    }
    return host;
}

// Rows, hits and controllers come from the plug-in; a plug-in that cannot say shows none.
void SessionWebShow::readPlugIn()
{
    if (!m_nextRead.hasExpired())
        return;
    m_nextRead = QDeadlineTimer(PlugInReadMs);
    try {
        m_rows = m_session.rows();
    } catch (const std::exception &) {
        m_rows.clear();
    }
    m_rowsEvent = rowsEventJson(m_rows);
    IHostControllers *controllers = m_session.controllers();
    m_controllersEvent = controllers ? controllersEventJson(controllers->controllerTables())
                                     : controllersEventJson({});
    std::vector<ActionRow> rows;
    for (const RowStatus &status : m_rows)
        rows.push_back(status.row);
    const ChannelDrivers drivers = channelDrivers(rows, *m_session.universes());
    m_universes = universesInUse(*m_session.universes(), drivenUniverses(drivers), 1);
    m_channelsEvent = channelsEventJson(m_universes, drivers);
}

std::vector<std::string> SessionWebShow::pageEvents()
{
    readPlugIn();
    const HostSession::DmxOutputState &dmx = m_session.dmxOutputState();
    std::vector<std::string> events{dmxOutputEventJson(dmx.on, dmx.reason), m_rowsEvent,
                                    m_controllersEvent, m_channelsEvent};
    for (int universe : m_universes)
        events.push_back(levelsEventJson(universe, m_session.universes()->frame(universe)));
    return events;
}

OscDestination SessionWebShow::plugInServer()
{
    IHostListening *listening = m_session.listening();
    if (!listening)
        return {"", 0, "the plug-in has no OSC server"};
    if (m_session.serverState().server == HostSession::Server::Stopped)
        return {"", 0, "the plug-in's OSC server is stopped"};
    const std::optional<uint16_t> port = portOf(listening->serverPort());
    if (!port)
        return {"", 0, "the plug-in's OSC server has no port"};
    return {destinationOf(listening->serverAddress()).toString().toStdString(), *port, ""};
}

} // namespace tarvex::host
