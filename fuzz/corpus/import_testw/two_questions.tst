[Info]
Title=Физика
[Question]
QuestionLine=Скорость света?
QuestionLine=(км/с)
Variant=300000
Variant=1000
CorrectVariant=1
CorrectVariant=0
[End]
[Question]
QuestionLine=Второй
Variant=a
CorrectVariant=1
[End]
