#pragma once
// ChannelView: the 512 channel levels of one universe as bars, each cell with its channel number
// above and its level in it, a channel that just changed lit up for a second, fading. Hovering a
// channel names the rows that drive it. A drop-down chooses the universe among those in use.
//
// It listens to Universes but never paints from the listener: a frame clock ticks every 40 ms
// while levels change or a highlight fades, and each tick repaints at most once, only when
// something shown changed. A fader sending a thousand values a second costs at most 25 paints a
// second; an idle host none.

#include "host/app/ChannelLevels.h"

#include <QTimer>
#include <QWidget>

#include <memory>

class QComboBox;
class QScrollArea;

namespace tarvex::host {

class LevelBars;

class ChannelView : public QWidget {
    Q_OBJECT
public:
    static constexpr int TickMs = 40;

    explicit ChannelView(std::shared_ptr<Universes> universes, QWidget *parent = nullptr);
    ~ChannelView() override;

    int universe() const { return m_universe; }
    // Shows another universe (an unknown one is ignored).
    void setUniverse(int universe);
    // The rows' targets: who drives which channel, and which universes the chooser offers.
    void setRows(const std::vector<ActionRow> &rows);
    QComboBox *universePicker() const { return m_picker; }

    // One tick of the frame clock (its timer calls it).
    void tick();
    bool ticking() const { return m_clock.isActive(); }
    // Ticks and paint events of the bars so far: at most one paint a tick bounds the repaints
    // by a count, not a time.
    int ticks() const { return m_ticks; }
    int paints() const { return m_paints; }

    // What the cells show: the level as text ("" for 0), the rows' names on hover.
    QString valueText(int channel) const;
    QString toolTipText(int channel) const;
    // How strongly a channel is lit for its last change: 1 just changed, 0 not at all.
    double highlight(int channel) const { return m_shown.highlight(channel); }
    // Where a channel's cell is in the bars widget, and which channel is at a point (0: none).
    QRect cellRect(int channel) const;
    int channelAt(const QPoint &point) const;
    QWidget *bars() const;

private:
    friend class LevelBars;

    void levelsChanged(uint8_t universe);
    void refreshUniverseList();
    void paintBars(QPainter &painter);

    std::shared_ptr<Universes> m_universes;
    Universes::Subscription m_subscription;
    int m_universe = 1;
    ShownLevels m_shown;
    ChannelDrivers m_drivers;
    std::vector<int> m_drivenUniverses;
    bool m_otherUniversesChanged = false;
    QTimer m_clock;
    int m_ticks = 0;
    int m_paints = 0;
    QComboBox *m_picker;
    QScrollArea *m_scroll;
    LevelBars *m_bars;
};

} // namespace tarvex::host
