#include "app/frmTelConfig.h"

#include "app/Icons.h"
#include "catalogue/ReceiptTypes.h"
#include "shell/Settings.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorvin::gui {

frmTelConfig::frmTelConfig(const shell::Settings& settings, QWidget* parent)
    : QDialog(parent), m_settings(settings), lstTipiDoc(new QListWidget),
      cmdSelectAll(new QPushButton(QStringLiteral("&Sel. tutti"))),
      cmdDeselectAll(new QPushButton(QStringLiteral("&Desel. tutti"))),
      cmdClose(new QPushButton(QStringLiteral("&Chiudi"))) {
    setObjectName(QStringLiteral("frmTelConfig"));
    setWindowTitle(QStringLiteral("Tipi ricevute da archiviare"));
    setWindowIcon(Icon(QStringLiteral("quorvin")));

    auto* frameTipiDoc = new QGroupBox(QStringLiteral("Tipi documento da archiviare"));
    frameTipiDoc->setObjectName(QStringLiteral("frameTipiDoc"));
    lstTipiDoc->setObjectName(QStringLiteral("lstTipiDoc"));
    lstTipiDoc->setSortingEnabled(false);
    lstTipiDoc->setUniformItemSizes(true);
    auto* frameLayout = new QVBoxLayout(frameTipiDoc);
    frameLayout->setContentsMargins(6, 6, 6, 6);
    frameLayout->addWidget(lstTipiDoc);

    cmdSelectAll->setObjectName(QStringLiteral("cmdSelectAll"));
    cmdDeselectAll->setObjectName(QStringLiteral("cmdDeselectAll"));
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdSelectAll);
    buttons->addWidget(cmdDeselectAll);
    buttons->addStretch();
    buttons->addWidget(cmdClose);

    // The frame, the list and the buttons follow the dialog's size.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(frameTipiDoc, 1);
    layout->addLayout(buttons);

    connect(cmdSelectAll, &QPushButton::clicked, this, [this] { SetAll(true); });
    connect(cmdDeselectAll, &QPushButton::clicked, this, [this] { SetAll(false); });
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);

    resize(560, 620);
}

void frmTelConfig::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_bFirstActivate) {
        m_bFirstActivate = false;
        Form_FirstActivate();
    }
}

void frmTelConfig::Form_FirstActivate() {
    lstTipiDoc->clear();
    // All false when the settings group does not exist: the dialog never creates it.
    const std::map<long, bool> flags = m_settings.ReadTypeFlags();
    for (const auto& type : catalogue::ReceiptTypes()) {
        auto* item = new QListWidgetItem(QString::fromStdString(type.name), lstTipiDoc);
        item->setData(Qt::UserRole, static_cast<qint32>(type.code));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        const auto flag = flags.find(type.code);
        item->setCheckState(flag != flags.end() && flag->second ? Qt::Checked : Qt::Unchecked);
    }
    if (lstTipiDoc->count() > 0) {
        lstTipiDoc->setCurrentRow(0);
    }
}

void frmTelConfig::SetAll(bool checked) {
    for (int i = 0; i < lstTipiDoc->count(); ++i) {
        lstTipiDoc->item(i)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    }
}

void frmTelConfig::done(int result) {
    // Only a list that was filled holds the user's choices.
    if (!m_saved && !m_bFirstActivate) {
        m_saved = true;
        std::map<long, bool> checked;
        for (int i = 0; i < lstTipiDoc->count(); ++i) {
            const QListWidgetItem* item = lstTipiDoc->item(i);
            checked[item->data(Qt::UserRole).toInt()] = item->checkState() == Qt::Checked;
        }
        m_settings.WriteTypeFlags(checked);
    }
    QDialog::done(result);
}

} // namespace quorvin::gui
