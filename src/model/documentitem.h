#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

// A document attached by file name; the file name is also its name.
class DocumentItem : public QObject
{
    Q_OBJECT

public:
    explicit DocumentItem(QObject *parent = nullptr);

    QString id() const { return m_id; }
    void setId(const QString &id) { m_id = id; }
    QString fileName() const { return m_fileName; }
    QString name() const { return m_fileName; }
    void setFileName(const QString &fileName) { m_fileName = fileName; }
    QString fileType() const { return m_fileType; }
    void setFileType(const QString &fileType) { m_fileType = fileType; }
    QString description() const { return m_description; }
    void setDescription(const QString &description) { m_description = description; }

    QJsonObject toJson() const;
    void fromJson(const QJsonObject &json);

private:
    QString m_id;
    QString m_fileName;
    QString m_fileType;
    QString m_description;
};
