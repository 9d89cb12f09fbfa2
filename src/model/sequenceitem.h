#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

// A number sequence feeding a table column.
class SequenceItem : public QObject
{
    Q_OBJECT

public:
    explicit SequenceItem(QObject *parent = nullptr);

    QString id() const { return m_id; }
    void setId(const QString &id) { m_id = id; }
    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    QString tableId() const { return m_tableId; }
    void setTableId(const QString &tableId) { m_tableId = tableId; }
    QString columnId() const { return m_columnId; }
    void setColumnId(const QString &columnId) { m_columnId = columnId; }
    qint64 startValue() const { return m_startValue; }
    void setStartValue(qint64 value) { m_startValue = value; }
    qint64 increment() const { return m_increment; }
    void setIncrement(qint64 increment) { m_increment = increment; }
    // Bounds are free text; empty means none.
    QString minValue() const { return m_minValue; }
    void setMinValue(const QString &value) { m_minValue = value; }
    QString maxValue() const { return m_maxValue; }
    void setMaxValue(const QString &value) { m_maxValue = value; }
    bool cycle() const { return m_cycle; }
    void setCycle(bool cycle) { m_cycle = cycle; }
    QString comment() const { return m_comment; }
    void setComment(const QString &comment) { m_comment = comment; }

    QJsonObject toJson() const;
    void fromJson(const QJsonObject &json);

private:
    QString m_id;
    QString m_name;
    QString m_tableId;
    QString m_columnId;
    qint64 m_startValue = 1;
    qint64 m_increment = 1;
    QString m_minValue;
    QString m_maxValue;
    bool m_cycle = false;
    QString m_comment;
};
