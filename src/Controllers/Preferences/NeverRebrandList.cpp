#include "Controllers/Preferences/NeverRebrandList.h"

#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "Utils/HostFilter.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

using Costants::Preferences::neverRebrandHosts;

NeverRebrandList::NeverRebrandList(QWidget *parent)
    : QWidget(parent)
    , m_list(new QListWidget(this))
    , m_input(new QLineEdit(this))
    , m_add(new QPushButton(tr("Add"), this))
    , m_remove(new QPushButton(tr("Remove"), this))
{
    auto *label = new QLabel(tr("Never rebrand addresses from:"), this);
    label->setObjectName(QStringLiteral("neverRebrandLabel"));
    label->setBuddy(m_list);
    m_list->setObjectName(QStringLiteral("neverRebrandList"));
    m_list->setAccessibleName(tr("Never rebrand addresses from"));
    m_list->setMaximumHeight(96);
    m_input->setObjectName(QStringLiteral("neverRebrandInput"));
    m_input->setAccessibleName(tr("Host to add"));
    m_input->setPlaceholderText(tr("example.com or *.corp.example"));
    m_add->setObjectName(QStringLiteral("neverRebrandAdd"));
    m_add->setAccessibleName(tr("Add host"));
    m_remove->setObjectName(QStringLiteral("neverRebrandRemove"));
    m_remove->setAccessibleName(tr("Remove host"));

    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(0, 8, 0, 0);
    layout->addWidget(label, 0, 0, 1, 2);
    layout->addWidget(m_list, 1, 0, 1, 2);
    layout->addWidget(m_input, 2, 0);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_add);
    buttons->addWidget(m_remove);
    layout->addLayout(buttons, 2, 1);

    for (const QString &stored :
         SettingsStore::shared().stringArrayForKey(neverRebrandHosts).value_or(QStringList())) {
        if (const std::optional<QString> pattern = HostFilter::normalisedPattern(stored))
            appendItem(*pattern);
    }
    connect(m_input, &QLineEdit::textChanged, this, &NeverRebrandList::updateButtons);
    connect(m_input, &QLineEdit::returnPressed, this, &NeverRebrandList::addPattern);
    connect(m_add, &QPushButton::clicked, this, &NeverRebrandList::addPattern);
    connect(m_remove, &QPushButton::clicked, this, &NeverRebrandList::removeSelected);
    connect(m_list, &QListWidget::itemSelectionChanged, this, &NeverRebrandList::updateButtons);
    connect(m_list, &QListWidget::currentItemChanged, this, [this](QListWidgetItem *current) {
        m_editedFrom = current ? current->text() : QString();
    });
    connect(m_list, &QListWidget::itemChanged, this, &NeverRebrandList::patternEdited);
    updateButtons();
}

QStringList NeverRebrandList::patterns() const
{
    QStringList patterns;
    for (int row = 0; row < m_list->count(); ++row)
        patterns.append(m_list->item(row)->text());
    return patterns;
}

QListWidgetItem *NeverRebrandList::appendItem(const QString &pattern)
{
    const QSignalBlocker blocker(m_list);
    auto *item = new QListWidgetItem(pattern, m_list);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    return item;
}

void NeverRebrandList::addPattern()
{
    const std::optional<QString> pattern = HostFilter::normalisedPattern(m_input->text());
    if (!pattern)
        return;
    if (!patterns().contains(*pattern)) {
        appendItem(*pattern);
        store();
    }
    m_input->clear();
}

void NeverRebrandList::removeSelected()
{
    const QList<QListWidgetItem *> selected = m_list->selectedItems();
    if (selected.isEmpty())
        return;
    qDeleteAll(selected);
    store();
    updateButtons();
}

void NeverRebrandList::patternEdited(QListWidgetItem *item)
{
    const std::optional<QString> pattern = HostFilter::normalisedPattern(item->text());
    const QSignalBlocker blocker(m_list);
    bool duplicate = false;
    for (int row = 0; row < m_list->count(); ++row)
        duplicate = duplicate ||
                    (m_list->item(row) != item && pattern && m_list->item(row)->text() == *pattern);
    // An edit that is no pattern, or one the list has already, leaves the item as it was.
    if (!pattern || duplicate) {
        item->setText(m_editedFrom);
        return;
    }
    item->setText(*pattern);
    m_editedFrom = *pattern;
    store();
}

void NeverRebrandList::updateButtons()
{
    m_add->setEnabled(HostFilter::normalisedPattern(m_input->text()).has_value());
    m_remove->setEnabled(!m_list->selectedItems().isEmpty());
}

void NeverRebrandList::store()
{
    SettingsStore &store = SettingsStore::shared();
    store.setStringArray(neverRebrandHosts, patterns());
    store.synchronize();
}
