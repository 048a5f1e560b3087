<?xml version="1.0" encoding="UTF-8"?>
<!-- The journal split as a stylesheet, for comparison: one document per event, written with
     exsl:document to <out>MM/jrnMMDD/jrn<date><time>-<register>-<transaction>.xml, holding the
     journal's root element, its TransmissionHeader, and the JournalReport element with the
     JournalHeader and the event. -->
<xsl:stylesheet version="1.0"
    xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
    xmlns:exsl="http://exslt.org/common"
    xmlns:n="http://www.naxml.org/POSBO/Vocabulary/2003-10-16"
    extension-element-prefixes="exsl"
    exclude-result-prefixes="n">
  <xsl:param name="out"/>
  <xsl:strip-space elements="*"/>
  <xsl:output method="xml" encoding="UTF-8" indent="no"/>

  <xsl:template match="/">
    <xsl:variable name="root" select="/*[local-name()='NAXML-POSJournal'][1]"/>
    <xsl:variable name="report" select="$root/n:JournalReport[1]"/>
    <xsl:variable name="header" select="$report/n:JournalHeader[1]"/>
    <xsl:for-each select="$header/following-sibling::*[contains(translate(local-name(),
        'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz'), 'event')]">
      <xsl:variable name="date" select="normalize-space(n:EventEndDate)"/>
      <xsl:variable name="month" select="substring($date, 6, 2)"/>
      <exsl:document method="xml" encoding="UTF-8" indent="no"
          href="{concat($out, $month, '/jrn', $month, substring($date, 9, 2), '/jrn',
                 translate($date, '-', ''), translate(normalize-space(n:EventEndTime), ':', ''),
                 '-', normalize-space(n:RegisterID), '-', normalize-space(n:TransactionID),
                 '.xml')}">
        <xsl:element name="{name($root)}" namespace="{namespace-uri($root)}">
          <xsl:copy-of select="$root/@*"/>
          <xsl:copy-of select="$root/n:TransmissionHeader[1]"/>
          <xsl:element name="{name($report)}" namespace="{namespace-uri($report)}">
            <xsl:copy-of select="$report/@*"/>
            <xsl:copy-of select="$header"/>
            <xsl:copy-of select="."/>
          </xsl:element>
        </xsl:element>
      </exsl:document>
    </xsl:for-each>
  </xsl:template>
</xsl:stylesheet>
