#include "toolkit/WindowRegistry.h"

#include "core/VbError.h"
#include "toolkit/WindowObject.h"

#include <QString>

#include <algorithm>

namespace tarvex {

WindowRegistry::~WindowRegistry()
{
    while (!m_loadOrder.empty()) {
        try {
            unload(m_loadOrder.front());
        } catch (...) {
            // Going away regardless: a failing unload hook must not keep the others loaded.
            m_loadOrder.erase(m_loadOrder.begin());
        }
    }
    for (Entry &e : m_entries)
        if (e.object)
            e.object->detach();
}

WindowId WindowRegistry::add(std::string name, FormFactory createForm, ObjectFactory createObject)
{
    m_entries.push_back({std::move(name), std::move(createForm), std::move(createObject), {}, {}});
    return m_entries.size() - 1;
}

const std::string &WindowRegistry::name(WindowId id) const
{
    return entry(id).name;
}

std::shared_ptr<WindowObject> WindowRegistry::object(WindowId id)
{
    Entry &e = entry(id);
    if (!e.object)
        e.object =
            e.createObject ? e.createObject(*this, id) : std::make_shared<WindowObject>(*this, id);
    return e.object;
}

FormWindow &WindowRegistry::load(WindowId id)
{
    Entry &e = entry(id);
    if (e.form)
        return *e.form;
    e.form = e.createForm();
    e.form->setObjectName(QString::fromStdString(e.name));
    m_loadOrder.push_back(id);
    // The window counts as loaded while its load handler runs, so that the handler (or anything
    // it calls) touching the window again finds it instead of creating a second one.
    FormWindow &form = *e.form;
    form.Form_Load();
    return form;
}

FormWindow &WindowRegistry::show(WindowId id)
{
    FormWindow &form = load(id);
    form.show();
    form.raise();
    return form;
}

FormWindow *WindowRegistry::loaded(WindowId id) const
{
    return entry(id).form.get();
}

void WindowRegistry::unload(WindowId id)
{
    Entry &e = entry(id);
    if (!e.form)
        return;
    m_loadOrder.erase(std::remove(m_loadOrder.begin(), m_loadOrder.end(), id), m_loadOrder.end());
    std::unique_ptr<FormWindow> form = std::move(e.form);
    form->hide();
    form->Form_Unload();
}

bool WindowRegistry::isOpen(std::string_view name) const
{
    QString wanted = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    return std::any_of(m_loadOrder.begin(), m_loadOrder.end(), [&](WindowId id) {
        return QString::fromStdString(entry(id).name).compare(wanted, Qt::CaseInsensitive) == 0;
    });
}

WindowRegistry::Entry &WindowRegistry::entry(WindowId id)
{
    if (id >= m_entries.size())
        raise(errc::SubscriptOutOfRange);
    return m_entries[id];
}

const WindowRegistry::Entry &WindowRegistry::entry(WindowId id) const
{
    if (id >= m_entries.size())
        raise(errc::SubscriptOutOfRange);
    return m_entries[id];
}

} // namespace tarvex
