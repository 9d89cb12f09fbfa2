#pragma once

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>

class ClassificationItem;

// One column of a table: name, type with length or precision and scale, nullability,
// default value, comment and governance data. Owns its classification entries.
class ColumnItem : public QObject
{
    Q_OBJECT

public:
    explicit ColumnItem(QObject *parent = nullptr);

    QString id() const { return m_id; }
    void setId(const QString &id);
    QString name() const { return m_name; }
    void setName(const QString &name);

    // The base type name, without a parameter list.
    QString dataType() const { return m_dataType; }
    // Takes a type text as typed or imported; a recognised "(n)" or "(p,s)" moves into
    // length or precision and scale.
    void setDataType(const QString &text);
    // The type as shown: base name with its parameters.
    QString fullTypeName() const;

    bool isNullable() const { return m_nullable; }
    void setNullable(bool nullable) { m_nullable = nullable; }
    QString comment() const { return m_comment; }
    void setComment(const QString &comment) { m_comment = comment; }
    int precision() const { return m_precision; }
    void setPrecision(int precision) { m_precision = precision; }
    int scale() const { return m_scale; }
    void setScale(int scale) { m_scale = scale; }
    int length() const { return m_length; }
    void setLength(int length) { m_length = length; }
    QString defaultValue() const { return m_defaultValue; }
    void setDefaultValue(const QString &value) { m_defaultValue = value; }

    bool isPersonal() const { return m_personal; }
    void setPersonal(bool personal) { m_personal = personal; }
    bool isSensible() const { return m_sensible; }
    void setSensible(bool sensible) { m_sensible = sensible; }
    QString classification() const { return m_classification; }
    void setClassification(const QString &classification) { m_classification = classification; }

    QList<ClassificationItem *> classifications() const { return m_classifications; }
    ClassificationItem *addClassification();

    QJsonObject toJson() const;
    void fromJson(const QJsonObject &json);

private:
    void clearClassifications();

    QString m_id;
    QString m_name;
    QString m_dataType;
    bool m_nullable = true;
    QString m_comment;
    int m_precision = -1;
    int m_scale = -1;
    int m_length = -1;
    QString m_defaultValue;
    bool m_personal = false;
    bool m_sensible = false;
    QString m_classification;
    QList<ClassificationItem *> m_classifications;
};
