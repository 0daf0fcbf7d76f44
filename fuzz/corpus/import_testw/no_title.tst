[Question]
QuestionLine=q
[End]
