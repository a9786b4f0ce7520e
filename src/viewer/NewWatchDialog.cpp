#include "viewer/NewWatchDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "viewer/ViewerServices.h"

namespace vormla::viewer {

NewWatchDialog::NewWatchDialog(ViewerServices& services, const QString& windowSettings, QWidget* parent)
    : QDialog(parent), services_(services), windowSettings_(windowSettings) {
  setWindowTitle(QStringLiteral("新しいウォッチ"));
  name_ = new QLineEdit;
  name_->setPlaceholderText(QStringLiteral("例: towels"));
  fromWindow_ = new QRadioButton(QStringLiteral("メイン画面の今の設定 (%1)").arg(windowSettings));
  fromWindow_->setChecked(true);
  auto* fromFile = new QRadioButton(QStringLiteral("設定ファイル:"));
  otherFile_ = new QLineEdit;
  auto* browse = new QPushButton(QStringLiteral("参照..."));
  connect(browse, &QPushButton::clicked, this, [this, fromFile] {
    const QString chosen = services_.ChooseFile(this, QStringLiteral("設定ファイルを選ぶ"),
                                                QStringLiteral("設定ファイル (*.ini)"), otherFile_->text());
    if (chosen.isEmpty()) return;
    otherFile_->setText(chosen);
    fromFile->setChecked(true);
  });
  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(fromFile);
  fileRow->addWidget(otherFile_, 1);
  fileRow->addWidget(browse);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* form = new QFormLayout(this);
  form->addRow(QStringLiteral("名前:"), name_);
  form->addRow(QStringLiteral("検索条件:"), fromWindow_);
  form->addRow(QString(), fileRow);
  form->addRow(buttons);
}

QString NewWatchDialog::Name() const { return name_->text(); }

QString NewWatchDialog::SettingsFile() const { return fromWindow_->isChecked() ? windowSettings_ : otherFile_->text(); }

}  // namespace vormla::viewer
