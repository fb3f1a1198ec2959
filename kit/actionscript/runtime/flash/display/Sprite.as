package flash.display
{
    /** See DisplayObject. */
    public class Sprite extends DisplayObject
    {
        public function addChild(child:DisplayObject):DisplayObject { return child; }
    }
}
