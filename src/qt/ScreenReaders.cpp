#include "qt/ScreenReaders.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLabel>
#include <QVariant>

namespace meridial::screen_readers {
namespace {

constexpr char kWindowRole[] = "meridialAnnouncedAsWindow";

QAccessibleInterface* WindowFactory(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget && widget->isWindow() && widget->property(kWindowRole).toBool())
        return new QAccessibleWidget(widget, QAccessible::Window);
    return nullptr;
}

bool HasLabel(const QWidget* control) {
    const QWidget* parent = control->parentWidget();
    if (!parent) return false;
    for (const QLabel* label : parent->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        if (label->buddy() == control) return true;
    return false;
}

}  // namespace

void AnnounceAsWindow(QWidget* window) {
    [[maybe_unused]] static const bool installed = [] {
        QAccessible::installFactory(WindowFactory);
        return true;
    }();
    window->setProperty(kWindowRole, true);
}

void NameThroughLabel(QWidget* control, const QString& name) {
    auto* label = new QLabel(name, control->parentWidget());
    label->setObjectName(control->objectName() + QStringLiteral("Name"));
    label->setBuddy(control);
    label->hide();
}

void NameUnlabelledLists(QWidget* root) {
    for (QComboBox* list : root->findChildren<QComboBox*>())
        if (!list->accessibleName().isEmpty() && !HasLabel(list))
            NameThroughLabel(list, list->accessibleName());
}

}  // namespace meridial::screen_readers
