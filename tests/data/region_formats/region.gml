<?xml version="1.0" encoding="utf-8" ?>
<ogr:FeatureCollection
     gml:id="aFeatureCollection"
     xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"
     xsi:schemaLocation="http://ogr.maptools.org/ region.xsd"
     xmlns:ogr="http://ogr.maptools.org/"
     xmlns:gml="http://www.opengis.net/gml/3.2">
  <gml:boundedBy><gml:Envelope srsName="urn:ogc:def:crs:EPSG::4326"><gml:lowerCorner>0 0</gml:lowerCorner><gml:upperCorner>10 10</gml:upperCorner></gml:Envelope></gml:boundedBy>
                                                                                                                                                                            
  <ogr:featureMember>
    <ogr:region gml:id="region.0">
      <gml:boundedBy><gml:Envelope srsName="urn:ogc:def:crs:EPSG::4326"><gml:lowerCorner>0 0</gml:lowerCorner><gml:upperCorner>10 10</gml:upperCorner></gml:Envelope></gml:boundedBy>
      <ogr:geometryProperty><gml:MultiSurface srsName="urn:ogc:def:crs:EPSG::4326" gml:id="region.geom.0"><gml:surfaceMember><gml:Polygon gml:id="region.geom.0.0"><gml:exterior><gml:LinearRing><gml:posList>0 0 0 10 10 10 10 0 0 0</gml:posList></gml:LinearRing></gml:exterior><gml:interior><gml:LinearRing><gml:posList>2 2 8 2 8 8 2 8 2 2</gml:posList></gml:LinearRing></gml:interior></gml:Polygon></gml:surfaceMember><gml:surfaceMember><gml:Polygon gml:id="region.geom.0.1"><gml:exterior><gml:LinearRing><gml:posList>4 4 4 6 6 5 4 4</gml:posList></gml:LinearRing></gml:exterior></gml:Polygon></gml:surfaceMember></gml:MultiSurface></ogr:geometryProperty>
      <ogr:name>lake with an island</ogr:name>
    </ogr:region>
  </ogr:featureMember>
</ogr:FeatureCollection>
