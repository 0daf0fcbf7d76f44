#pragma once

// Every SQL text the programs run against the question bank, byte for byte as the programs use
// them ("\r\n" included). Values enter through named parameters (":aTopicID") or, where a text
// holds %S or %D, as decimal numbers formatted in with SqlFormat (sqldialect.h). The texts are
// written in the Jet dialect the data has always been addressed in; ToSqliteDialect adapts the
// few that SQLite reads differently, just before they run.
namespace Sql {

// Datasets of the database module.
inline constexpr char TopicsByName[] = "SELECT * FROM Topics ORDER BY TopicName";
inline constexpr char QuestionsOfTopic[] = "SELECT * FROM Questions WHERE TopicID = :aTopicID";
inline constexpr char ResultsOfTopic[] = "SELECT * FROM Results\r\nWHERE TopicID=:aTopicID";
inline constexpr char CurrentTestingByPc[] = "SELECT * FROM CurrentTesting ORDER BY PcName";
inline constexpr char StudentsOfKlass[] = "SELECT * FROM Students WHERE KlassID LIKE :KlassID ORDER BY Name";
inline constexpr char Klasses[] = "SELECT * FROM Klasses";
inline constexpr char VezuvirozSettings[] = "SELECT * FROM VezuvirozSettings";
inline constexpr char ScribantSettings[] = "SELECT * FROM ScribantSettings";
inline constexpr char WorkingCount[] =
    "SELECT Count (*) AS WorkingCount FROM CurrentTesting WHERE QuestionsGiven = TRUE \r\nAND Ready = FALSE";

// Datasets and commands of the shared data module.
inline constexpr char OldQuestions[] = "SELECT * FROM Questions WHERE TopicID = :aTopicID";
inline constexpr char SingleLevelTopics[] = "SELECT * FROM Topics\r\nWHERE ParentID = :ParentID\r\nORDER BY TopicName";
inline constexpr char Settings[] = "SELECT * FROM Settings";
inline constexpr char ResetTopicMarks[] = "UPDATE Questions \r\nSET TopicID=0 \r\nWHERE TopicID<>:NoTopicID";

// The working table.
inline constexpr char ClearCurrentTesting[] = "DELETE FROM CurrentTesting";

// Drawing a question set.
inline constexpr char ClearUsedMarks[] = "UPDATE Questions \r\nSET Used=FALSE \r\nWHERE Used=TRUE";
inline constexpr char UsedQuestions[] = "SELECT * FROM Questions WHERE Used=TRUE";
// One level of the topic tree while the server collects a topic with its sub-topics.
inline constexpr char ChildTopics[] = "SELECT * FROM Topics WHERE ParentID = :ParentID ORDER BY TopicName";

// Start-up preparation, links and question lists.
inline constexpr char ZeroNullQueType[] =
    "UPDATE Questions SET Questions.QueType = 0 WHERE (((Questions.QueType) Is Null))";
inline constexpr char AllTopics[] = "SELECT * FROM Topics";
inline constexpr char AllQuestions[] = "SELECT * FROM Questions";
inline constexpr char QuestionLinks[] = "SELECT QueID,TopicID,LinksCount FROM Questions";
inline constexpr char QuestionLinksOf[] = "SELECT QueID,TopicID,LinksCount FROM Questions WHERE QueID=%D";
// The question-list query: "%S WHERE QueID=%S" for the first id, then "%S OR QueID=%S" for each
// further one, both over AllQuestions; an empty list gives NoQuestions over AllQuestions.
inline constexpr char NoQuestions[] = "%S WHERE FALSE";
inline constexpr char FirstListedQuestion[] = "%S WHERE QueID=%S";
inline constexpr char NextListedQuestion[] = "%S OR QueID=%S";

// Topic lookups of the editor.
inline constexpr char TopicNames[] = "SELECT TopicID,TopicName FROM Topics \r\nORDER BY TopicName";
inline constexpr char TopicById[] = "SELECT * FROM Topics  WHERE TopicID=:aTopicID";

// The results archive.
inline constexpr char ArchiveJoin[] =
    "SELECT * FROM Results, Students\r\nWHERE Results.StudentID= Students.StudentID \r\n\r\n";
inline constexpr char ArchiveBase[] = "SELECT * FROM Results, Students WHERE Results.StudentID= Students.StudentID";
inline constexpr char ArchiveQuery[] = "%S %S %S %S %S";
inline constexpr char ArchiveKlassPart[] = "AND KlassID=%D";
inline constexpr char ArchiveDatePart[] = "AND Date LIKE \"%S\"";
inline constexpr char ArchiveStudentPart[] = "AND Results.StudentID=%D";
inline constexpr char ArchiveTopicPart[] = "AND TopicID=%D";
inline constexpr char DeleteResult[] = "DELETE FROM Results WHERE ResID=%S";
inline constexpr char StudentsByName[] = "SELECT * FROM Students\r\n\r\nORDER BY Name";

// Students and classes.
inline constexpr char AllStudentsByName[] = "SELECT * FROM Students  ORDER BY Name";
inline constexpr char StudentsOfKlassesHead[] = "SELECT * FROM Students ";
inline constexpr char StudentsOfKlassesFirst[] = "WHERE KlassID=";
inline constexpr char StudentsOfKlassesNext[] = " OR KlassID=";
inline constexpr char StudentsOfKlassesTail[] = " ORDER BY Name";
inline constexpr char StudentSearch[] =
    "SELECT * FROM Students \r\nWHERE KlassID LIKE :KlassID \r\nAND Name LIKE :PromptName\r\nORDER BY Name";

// Moving the tables of an older database into the current one (run on the old database's
// connection; the current file is named in the text).
inline constexpr char MigrateTable[] = "INSERT INTO %s IN \"%s\" SELECT * FROM %s";

// Counting the rows of one table (the table's name follows).
inline constexpr char CountRowsOf[] = "SELECT Count(*) FROM ";

} // namespace Sql
