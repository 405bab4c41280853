<?XML VERSION="1.0"?>
<CHANNEL HREF="http://example.org/cdf/">
<TITLE>Upper-case CDF</TITLE>
<LINK>http://example.org/cdf/</LINK>
<ITEM HREF="http://example.org/cdf/1"><TITLE>Only an HREF</TITLE></ITEM>
<ITEM HREF="http://example.org/cdf/2">
<TITLE>With a LINK</TITLE>
<LINK>http://example.org/cdf/2</LINK>
</ITEM>
<ITEM><TITLE>Plain ITEM</TITLE><LINK>http://example.org/cdf/3</LINK></ITEM>
<Item><Title>Mixed case</Title><Link>http://example.org/cdf/4</Link></Item>
</CHANNEL>
