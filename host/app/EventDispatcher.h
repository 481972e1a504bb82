#pragma once
// useLeanEventDispatcher: the host's event loop runs on Qt's own UNIX event dispatcher instead of
// glib's. Each wake-up then costs less (one ppoll, no glib sources to prepare and check), which
// is most of what a paced stream of datagrams costs the host. Call it before the application
// object is made; a QT_NO_GLIB already set in the environment is left as it is.
//
//   useLeanEventDispatcher();
//   QApplication app(argc, argv);

#include <QByteArray>
#include <QtGlobal>

namespace tarvex {

inline void useLeanEventDispatcher()
{
    if (qEnvironmentVariableIsEmpty("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
}

} // namespace tarvex
