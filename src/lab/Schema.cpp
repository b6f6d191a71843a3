// The class database's schema, as a list of migrations. A released
// migration is never edited: a change of the schema is a new one at the end.
#include "lab/LabDatabase.h"

namespace lab {

const QVector<LabDatabase::Migration> &LabDatabase::migrations()
{
    static const QVector<Migration> list = {
        {1,
         QStringLiteral("ученики, результаты тестов с ответами на вопросы, закладки, место "
                        "чтения, настройки, открытые лекции, занятые места"),
         {
             // Texts that dect.chh keeps as text (the registration and test
             // times, the percentage) stay text, so an export gives back
             // exactly what was imported.
             QStringLiteral(
                 "CREATE TABLE learner ("
                 " id bigserial PRIMARY KEY,"
                 " request_id uuid UNIQUE,"
                 " class text NOT NULL DEFAULT '',"
                 " name text NOT NULL,"
                 " sourname text NOT NULL DEFAULT '',"
                 " grp text NOT NULL DEFAULT '',"
                 " mail text NOT NULL DEFAULT '',"
                 " registered text NOT NULL DEFAULT '',"
                 " place_page integer NOT NULL DEFAULT -1,"
                 " place_increment integer NOT NULL DEFAULT 0,"
                 " place_section text NOT NULL DEFAULT '',"
                 " font_family text NOT NULL DEFAULT '',"
                 " font_size integer NOT NULL DEFAULT 0,"
                 " font_color text NOT NULL DEFAULT '',"
                 " bold boolean NOT NULL DEFAULT false,"
                 " italic boolean NOT NULL DEFAULT false,"
                 " zoom integer NOT NULL DEFAULT 0,"
                 " narrow_column boolean NOT NULL DEFAULT false,"
                 " changed timestamptz NOT NULL DEFAULT now())"),
             QStringLiteral("CREATE INDEX learner_class ON learner (class, id)"),
             QStringLiteral(
                 "CREATE TABLE test_result ("
                 " id bigserial PRIMARY KEY,"
                 " request_id uuid UNIQUE,"
                 " learner_id bigint NOT NULL REFERENCES learner (id) ON DELETE CASCADE,"
                 " topic text NOT NULL,"
                 " taken text NOT NULL,"
                 " percent text NOT NULL,"
                 " recorded timestamptz NOT NULL DEFAULT now())"),
             QStringLiteral("CREATE INDEX test_result_learner ON test_result (learner_id, id)"),
             // One row per answered question: which questions a class fails.
             QStringLiteral(
                 "CREATE TABLE answer ("
                 " result_id bigint NOT NULL REFERENCES test_result (id) ON DELETE CASCADE,"
                 " position integer NOT NULL,"
                 " lecture text NOT NULL,"
                 " number text NOT NULL,"
                 " question text NOT NULL,"
                 " ticks text NOT NULL,"  // the ticked options, letters A to E
                 " correct boolean NOT NULL,"
                 " PRIMARY KEY (result_id, position))"),
             QStringLiteral("CREATE INDEX answer_question ON answer (lecture, number)"),
             QStringLiteral(
                 "CREATE TABLE bookmark ("
                 " id bigserial PRIMARY KEY,"
                 " request_id uuid UNIQUE,"
                 " learner_id bigint NOT NULL REFERENCES learner (id) ON DELETE CASCADE,"
                 " title text NOT NULL,"
                 " page integer NOT NULL,"
                 " increment integer NOT NULL DEFAULT 0,"
                 " section text NOT NULL DEFAULT '')"),
             QStringLiteral("CREATE INDEX bookmark_learner ON bookmark (learner_id, id)"),
             QStringLiteral(
                 "CREATE TABLE opened_page ("
                 " learner_id bigint NOT NULL REFERENCES learner (id) ON DELETE CASCADE,"
                 " page integer NOT NULL,"
                 " PRIMARY KEY (learner_id, page))"),
             // Who holds a learner, for the seat that is refused. The
             // advisory lock decides; this row only tells where and since when.
             QStringLiteral(
                 "CREATE TABLE seat ("
                 " learner_id bigint PRIMARY KEY REFERENCES learner (id) ON DELETE CASCADE,"
                 " computer text NOT NULL,"
                 " since timestamptz NOT NULL DEFAULT now(),"
                 " backend_pid integer NOT NULL)"),
         }},
    };
    return list;
}

int LabDatabase::currentSchemaVersion()
{
    return migrations().constLast().version;
}

} // namespace lab
