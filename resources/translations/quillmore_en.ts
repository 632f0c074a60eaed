<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!-- The English singular and plural of every counted message (countText).
     Each source text holds %n; the first form is for one, the second for
     every other number. -->
<TS version="2.1" language="en">
<context>
    <name>quillmore</name>
    <message numerus="yes">
        <source>%n number(s) that cannot be valid skipped.</source>
        <translation>
            <numerusform>%n number that cannot be valid skipped.</numerusform>
            <numerusform>%n numbers that cannot be valid skipped.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n row(s) without a number not sent.</source>
        <translation>
            <numerusform>%n row without a number not sent.</numerusform>
            <numerusform>%n rows without a number not sent.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n row(s) that cannot be a valid number not sent.</source>
        <translation>
            <numerusform>%n row that cannot be a valid number not sent.</numerusform>
            <numerusform>%n rows that cannot be a valid number not sent.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n entry(s) too long to be a number not sent.</source>
        <translation>
            <numerusform>%n entry too long to be a number not sent.</numerusform>
            <numerusform>%n entries too long to be a number not sent.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n line(s) without a number not sent.</source>
        <translation>
            <numerusform>%n line without a number not sent.</numerusform>
            <numerusform>%n lines without a number not sent.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n number(s) already looked up removed.</source>
        <translation>
            <numerusform>%n number already looked up removed.</numerusform>
            <numerusform>%n numbers already looked up removed.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n duplicate number(s) removed.</source>
        <translation>
            <numerusform>%n duplicate number removed.</numerusform>
            <numerusform>%n duplicate numbers removed.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n number(s) that cannot be valid removed.</source>
        <translation>
            <numerusform>%n number that cannot be valid removed.</numerusform>
            <numerusform>%n numbers that cannot be valid removed.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Remove %n number(s) that cannot be valid phone number(s)? They would still be charged for.</source>
        <translation>
            <numerusform>Remove %n number that cannot be a valid phone number? It would still be charged for.</numerusform>
            <numerusform>Remove %n numbers that cannot be valid phone numbers? They would still be charged for.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n number(s) answered from earlier lookups; %1 left to look up.</source>
        <translation>
            <numerusform>%n number answered from earlier lookups; %1 left to look up.</numerusform>
            <numerusform>%n numbers answered from earlier lookups; %1 left to look up.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n answer(s) reused (up to %1 days old)</source>
        <translation>
            <numerusform>%n answer reused (up to %1 days old)</numerusform>
            <numerusform>%n answers reused (up to %1 days old)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n answer(s) of %1 removed from the lookup history.</source>
        <translation>
            <numerusform>%n answer of %1 removed from the lookup history.</numerusform>
            <numerusform>%n answers of %1 removed from the lookup history.</numerusform>
        </translation>
    </message>
</context>
</TS>
