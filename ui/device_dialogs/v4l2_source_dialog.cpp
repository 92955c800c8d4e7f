#include "v4l2_source_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QVBoxLayout>

namespace orvane {

V4l2SourceDialog::V4l2SourceDialog(V4l2Camera &camera, QWidget *parent)
    : QDialog(parent)
    , camera_(camera)
    , controls_(camera.controls())
    , problem_(new QLabel(this))
{
    setWindowTitle(QStringLiteral("Video Source - %1").arg(camera.name()));
    problem_->setObjectName(QStringLiteral("problem"));
    problem_->setWordWrap(true);

    auto *page = new QWidget;
    auto *form = new QFormLayout(page);
    widgets_.resize(controls_.size(), nullptr);
    valueLabels_.resize(controls_.size(), nullptr);
    for (size_t i = 0; i < controls_.size(); ++i) {
        QWidget *w = makeWidget(i);
        if (valueLabels_[i]) {
            auto *row = new QHBoxLayout;
            row->addWidget(w, 1);
            row->addWidget(valueLabels_[i]);
            form->addRow(controls_[i].name + QLatin1Char(':'), row);
        } else {
            form->addRow(controls_[i].kind == V4l2Control::Kind::Boolean || controls_[i].kind == V4l2Control::Kind::Button
                             ? QString()
                             : controls_[i].name + QLatin1Char(':'),
                         w);
        }
        showValue(i);
    }
    if (controls_.empty())
        form->addRow(new QLabel(QStringLiteral("This webcam has no adjustable controls."), page));
    auto *scroll = new QScrollArea(this);
    scroll->setWidget(page);
    scroll->setWidgetResizable(true);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close | QDialogButtonBox::RestoreDefaults, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &V4l2SourceDialog::reject);
    connect(buttons->button(QDialogButtonBox::RestoreDefaults), &QPushButton::clicked, this, &V4l2SourceDialog::restoreDefaults);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(scroll);
    layout->addWidget(problem_);
    layout->addWidget(buttons);
}

QWidget *V4l2SourceDialog::makeWidget(size_t index)
{
    const V4l2Control &c = controls_[index];
    QWidget *made = nullptr;
    switch (c.kind) {
    case V4l2Control::Kind::Integer: {
        auto *slider = new QSlider(Qt::Horizontal, this);
        slider->setRange(c.minimum, c.maximum);
        slider->setSingleStep(c.step);
        slider->setPageStep(int(std::max<int64_t>(c.step, (int64_t(c.maximum) - c.minimum) / 10))); // a tenth of the range
        slider->setMinimumWidth(200);
        valueLabels_[index] = new QLabel(this);
        valueLabels_[index]->setMinimumWidth(50);
        connect(slider, &QSlider::valueChanged, this, [this, index](int v) { change(index, v); });
        made = slider;
        break;
    }
    case V4l2Control::Kind::Boolean: {
        auto *box = new QCheckBox(c.name, this);
        connect(box, &QCheckBox::toggled, this, [this, index](bool on) { change(index, on ? 1 : 0); });
        made = box;
        break;
    }
    case V4l2Control::Kind::Menu: {
        auto *list = new QComboBox(this);
        for (const auto &[value, text] : c.menu)
            list->addItem(text, value);
        connect(list, &QComboBox::activated, this, [this, index, list](int row) { change(index, list->itemData(row).toInt()); });
        made = list;
        break;
    }
    case V4l2Control::Kind::Button: {
        auto *button = new QPushButton(c.name, this);
        connect(button, &QPushButton::clicked, this, [this, index] { change(index, 1); });
        made = button;
        break;
    }
    }
    made->setObjectName(QStringLiteral("control_%1").arg(c.id));
    widgets_[index] = made;
    return made;
}

// Puts the control's value and flags into its widget without sending anything back.
void V4l2SourceDialog::showValue(size_t index)
{
    const V4l2Control &c = controls_[index];
    QWidget *w = widgets_[index];
    QSignalBlocker quiet(w);
    if (auto *slider = qobject_cast<QSlider *>(w))
        slider->setValue(c.value);
    else if (auto *box = qobject_cast<QCheckBox *>(w))
        box->setChecked(c.value != 0);
    else if (auto *list = qobject_cast<QComboBox *>(w))
        list->setCurrentIndex(list->findData(c.value));
    if (valueLabels_[index])
        valueLabels_[index]->setText(QString::number(c.value));
    w->setEnabled(camera_.isConnected() && !c.readOnly && !c.inactive);
}

QWidget *V4l2SourceDialog::widgetFor(uint32_t controlId) const
{
    for (size_t i = 0; i < controls_.size(); ++i)
        if (controls_[i].id == controlId)
            return widgets_[i];
    return nullptr;
}

QString V4l2SourceDialog::problemText() const
{
    return problem_->text();
}

void V4l2SourceDialog::change(size_t index, int32_t value)
{
    if (index >= controls_.size())
        return;
    Result sent = camera_.setControl(controls_[index], value);
    problem_->setText(sent ? QString() : sent.error());
    if (!camera_.isConnected()) {
        for (size_t i = 0; i < controls_.size(); ++i)
            showValue(i); // all greyed: the webcam is gone
        return;
    }
    showValue(index);
    if (sent && controls_[index].updatesOthers)
        refreshAll();
}

void V4l2SourceDialog::refreshAll()
{
    for (size_t i = 0; i < controls_.size(); ++i) {
        (void)camera_.refreshControl(controls_[i]);
        showValue(i);
    }
}

void V4l2SourceDialog::restoreDefaults()
{
    QString firstProblem;
    for (size_t i = 0; i < controls_.size() && camera_.isConnected(); ++i) {
        V4l2Control &c = controls_[i];
        if (c.kind == V4l2Control::Kind::Button || c.readOnly || c.inactive || c.value == c.defaultValue)
            continue;
        if (Result sent = camera_.setControl(c, c.defaultValue); !sent && firstProblem.isEmpty())
            firstProblem = sent.error();
    }
    refreshAll();
    problem_->setText(firstProblem);
}

} // namespace orvane
